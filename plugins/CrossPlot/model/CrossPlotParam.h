#pragma once

#include <QString>

// The crossplot parameters: the dialog owns one, each window receives its own copy.
struct CrossPlotParam
{
    QString fbName;
    bool plotCorrectFB = true;
    bool plotErrorFB = false;
    bool plotAllFB = false;
    bool applyLVLCorr = false; // LVL values are stored and carried, never applied
    int pointSize = 4;
    int minOffset = 0;
    int maxOffset = 0; // both offsets 0: no limit
    int upVel = 2000;
    int upShift = 400;
    int downVel = 7000;
    int downShift = 0;

    // Both offsets 0 mean no limit; otherwise the range must not be empty.
    bool offsetRangeIsLegal() const
    {
        return minOffset < maxOffset || (minOffset == 0 && maxOffset == 0);
    }
};
