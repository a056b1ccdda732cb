#pragma once

#include "DensityGrid.h"
#include "FBLoader.h"

#include <QString>

// The texts that say what of a crossplot could not be drawn, why, and what would help. The
// window shows them on its plot canvas and crossplot-render prints them on stderr, so they are
// translated in the window's (CrossPlotMap) context, written out in each call so that lupdate
// files them there too. Each returns an empty string when there is
// nothing to say.
class DrawNotice
{
public:
    // Accepted picks that found no room in memory or in one window, or records that no
    // buffer could be had to read.
    static QString forPicks(const FBPicks &picks);
    // A fine grid that memory refused.
    static QString forGrid(const DensityGrid::Result &grid);
    // A density matrix that memory, or the size of one matrix, refused.
    static QString forMatrix(const DensityMatrix &matrix, int pointSize);
};
