#pragma once

#include "CrossPlotParam.h"
#include "DensityGrid.h"

#include <QMainWindow>
#include <QString>
#include <QVector>
#include <memory>

struct FBPicks;
class LinearColorMapRGB;
class PointPicker;
class QAction;
class QContextMenuEvent;
class QMouseEvent;
class QwtMatrixRasterData;
class QwtPlot;
class QwtPlotSpectrogram;
class QwtPlotTextLabel;
class QwtScaleWidget;
class Ui_CrossPlotMap;

// The crossplot window: one FB file shown as a density plot of offset against first-break
// time, with colour, point-size and background controls, a point tracker, a velocity picker
// and PNG export. Everything is loaded and composed in the constructor.
class CrossPlotMap : public QMainWindow
{
    Q_OBJECT

public:
    explicit CrossPlotMap(CrossPlotParam param, QWidget *parent = nullptr);
    // Shows picks loaded elsewhere, as if read from param.fbName with param's filter; every
    // other construction step is the same. For tools that read a file once for several views.
    CrossPlotMap(CrossPlotParam param, const FBPicks &picks, QWidget *parent = nullptr);
    ~CrossPlotMap() override;

    // Read-only view of the loaded data and the plot, for the batch renderer and the tests.
    int loadedRecordCount() const { return recordCount; }
    int acceptedPickCount() const { return pickCount; }
    int offsetWindowLow() const { return offsetLow; }
    int offsetWindowHigh() const { return offsetHigh; }
    int timeAxisMax() const { return timeMax; }
    int densityScaleMax() const { return densityMax; }
    qint64 densityCellCount() const { return cellCount; }
    int densityMatrixColumns() const { return matrixColumns; }
    int densityMatrixRows() const { return matrixRows; }
    const QwtMatrixRasterData *currentRasterData() const { return rasterData; }
    QwtPlot *plotWidget() const { return qwtPlot; }
    const PointPicker *pointTracker() const { return pointPicker; }
    // What could not be drawn and why, as the plot canvas shows it; empty when all is drawn.
    QString canvasNotice() const;

    // Grab the plot widget, or the whole window, without the point tracker and save it under
    // exactly this name; the format follows the suffix. Returns whether the file was written.
    bool savePlotImage(const QString &fileName);
    bool saveWindowImage(const QString &fileName);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void on_pointSize_valueChanged();
    void on_backgroundColor_currentIndexChanged();
    void on_resetColorSetting_clicked();
    void applyColorSetting();
    void slot_savePlot();
    void slot_saveWindow();
    void on_cyanSpin_valueChanged();
    void on_greenSpin_valueChanged();
    void on_yellowSpin_valueChanged();

private:
    void construct(const FBPicks *loaded);
    void readFBData();
    void adoptPicks(const FBPicks &picks);
    void buildDensityGrid();
    void buildDensityMatrix();
    void setupPlot();
    void updateSpectrogramColorMap();
    void updateColorBarColorMap();
    void initBackgroundColorIcons();
    void updateInfoLabels();
    void showNotice();
    QString askImageFileName(const QString &caption);
    bool saveImage(QWidget *widget, const QString &fileName);

    Ui_CrossPlotMap *ui;
    CrossPlotParam param;
    QString projectPath;
    QwtPlot *qwtPlot = nullptr; // the form's plot widget; not owned
    int offsetLow = 0;
    int offsetHigh = 0;
    int timeMax = 0;
    int densityMax = 0;
    QVector<int> fbTimes;
    QVector<int> offsets;
    int recordCount = 0;
    int pickCount = 0;
    QAction *savePlotAction = nullptr;         // child of the window
    QAction *saveWindowAction = nullptr;       // child of the window
    QwtMatrixRasterData *rasterData = nullptr; // owned by the spectrogram once handed over
    QwtPlotSpectrogram *spectrogram = nullptr; // owned by the window
    QwtScaleWidget *colorBar = nullptr;        // the right axis; owned by the plot
    PointPicker *pointPicker = nullptr;        // owned by the canvas
    double cyanRatio = 0.15;
    double greenRatio = 0.25;
    double yellowRatio = 0.55;
    LinearColorMapRGB *spectrogramColorMap = nullptr; // owned by the spectrogram
    LinearColorMapRGB *colorBarColorMap = nullptr;    // owned by the colour bar
    std::unique_ptr<DensityCell[]> densityCells;      // the occupied fine cells, offset-major
    int matrixColumns = 0;
    int matrixRows = 0;
    qint64 cellCount = 0;  // cells of the whole fine grid, occupied or not
    int occupiedCells = 0; // elements of densityCells
    int zeroPicks = 0;     // accepted picks at (0 m, 0 ms) of records past the end of the file
    // What could not be drawn, by the stage that found it; shown on the canvas.
    QString pickNotice;
    QString gridNotice;
    QString matrixNotice;
    QwtPlotTextLabel *noticeLabel = nullptr; // owned by the plot
    // The admitted memory of the picks, the fine cells and the drawn matrix, held as long as
    // they are, so that later windows see it taken.
    MemoryAdmission::Grant pickGrant;
    MemoryAdmission::Grant gridGrant;
    MemoryAdmission::Grant matrixGrant;
};
