#pragma once

#include "CrossPlotParam.h"
#include "DensityGrid.h"
#include "FBLoader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class FBPickDetails;

// What a crossplot shows in figures, as its window's labels, axes and colour bar show them.
struct CrossPlotFigures
{
    int recordCount = 0;
    int offsetLow = 0;
    int offsetHigh = 0;
    int pickCount = 0;
    int timeMax = 0;
    qint64 cellCount = 0;
    int densityMax = 0;
    int matrixColumns = 0;
    int matrixRows = 0;
    // What could not be drawn and why, one text per stage that found something.
    QStringList notices;

    // The share of the records that the window's label shows: single precision, two decimals,
    // 0 without records.
    double share() const;
    // The figures in one JSON object, keys in the order of the fields above (notices aside).
    QJsonObject toJson() const;
    // The same object on one line as {"recordCount": 1, "offsetLow": 0, ...}.
    QByteArray toJsonLine() const;
};

// One crossplot without widgets: the picks of one FB file under one set of parameters, their fine
// density grid, the density matrix at a point size, and what could not be drawn. The window shows
// one; the tools, tests and fuzzers use it alone.
class CrossPlotModel
{
public:
    using Progress = std::function<void(int)>;

    explicit CrossPlotModel(const CrossPlotParam &param);
    ~CrossPlotModel();

    const CrossPlotParam &param() const { return m_param; }

    // Opens the file and reads its header and offset window; then the records, with progress
    // values as the loader gives them. Picks that do not fit are counted, and noticed.
    // known: the header of an input that cannot be read twice (a pipe), read by its check.
    void readHeader(const FBHeader *known = nullptr);
    void readRecords(const Progress &progress = {});
    // Both steps at once.
    void load(const Progress &progress = {});
    // Reads param's file once for two crossplots of it, param's class flags aside: the Correct
    // picks go to correct, the Erroneous ones to error, each model with its own parameters.
    // correctDetails, when given, receives the record and class of each stored Correct pick, for
    // readers that judge them later (a pipe cannot be read a second time); known is the header
    // of an input that cannot be read twice, read by its check.
    static void loadByClass(CrossPlotModel &correct, CrossPlotModel &error,
                            const Progress &progress = {}, const FBHeader *known = nullptr,
                            FBPickDetails *correctDetails = nullptr);
    // Picks read elsewhere from param's file with param's filter, such as one class of a load
    // that split the classes.
    void setPicks(FBPicks picks);
    // The picks are only needed until the grid is built; a caller that keeps the figures but not
    // the picks lets them go.
    void releasePicks();

    // Counts the picks into the fine grid; a grid that memory refuses is noticed.
    void buildGrid();
    // A grid counted elsewhere for these picks, such as the sum of the grids of two classes.
    void setGrid(DensityGrid::Result grid);
    bool hasGrid() const { return m_hasGrid; }

    // Resamples the grid at pointSize. Returns false when that matrix cannot be built (the
    // notice says why): the matrix built before then stays, or none at all.
    bool buildMatrix(int pointSize);

    const FBPicks &picks() const { return m_picks; }
    const DensityGrid::Result &grid() const { return m_grid; }
    // The current matrix; its values are empty when it has no cells.
    const DensityMatrix &matrix() const { return m_matrix; }
    int recordCount() const { return m_picks.recordCount; }
    int offsetLow() const { return m_picks.offsetLow; }
    int offsetHigh() const { return m_picks.offsetHigh; }
    int pickCount() const { return m_picks.pickCount; }
    qint64 recordsInFile() const { return m_picks.recordsInFile; }
    int timeMax() const { return m_grid.timeMax; }
    int densityMax() const { return m_grid.densityMax; }

    // The notices of the picks, the grid and the last matrix, as one text; empty when all fits.
    QString notice() const;
    CrossPlotFigures figures() const;

private:
    Q_DISABLE_COPY(CrossPlotModel)
    CrossPlotParam m_param;
    std::unique_ptr<FBLoader> m_loader; // between readHeader and readRecords
    FBPicks m_picks;
    DensityGrid::Result m_grid;
    bool m_hasGrid = false;
    DensityMatrix m_matrix;
    bool m_hasMatrix = false;
    QString m_pickNotice;
    QString m_gridNotice;
    QString m_matrixNotice;
};
