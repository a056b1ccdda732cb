#pragma once

#include "CrossPlotModel.h"

#include <QMainWindow>
#include <QString>
#include <QVector>
#include <memory>

class LinearColorMapRGB;
class PointPicker;
class QAction;
class QContextMenuEvent;
class QMouseEvent;
class QPixmap;
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
    // Reads param's file, behind a progress dialog, and shows it.
    explicit CrossPlotMap(CrossPlotParam param, QWidget *parent = nullptr);
    // Shows a model whose picks are loaded already (its grid too, if it has one); every other
    // construction step is the same. For tools that read a file once for several views.
    explicit CrossPlotMap(std::unique_ptr<CrossPlotModel> model, QWidget *parent = nullptr);
    ~CrossPlotMap() override;

    const CrossPlotModel &model() const { return *m_model; }
    // The figures the window shows in its labels, axes and colour bar, and its notices.
    CrossPlotFigures figures() const { return m_model->figures(); }
    const QwtMatrixRasterData *currentRasterData() const { return rasterData; }
    QwtPlot *plotWidget() const { return qwtPlot; }
    // What could not be drawn and why, as the plot canvas shows it; empty when all is drawn.
    QString canvasNotice() const { return m_model->notice(); }

    // The controls as a user sets them: each sets its control on the form, whose slot then acts.
    void setPointSize(int size);
    void setColorStops(int cyan, int green, int yellow);
    void setBackgroundIndex(int index);

    // Grab the plot widget, or the whole window, without the point tracker and save it under
    // exactly this name; the format follows the suffix. Returns whether the file was written.
    bool savePlotImage(const QString &fileName);
    bool saveWindowImage(const QString &fileName);
    // The picture that savePlotImage saves, for callers that encode it themselves.
    QPixmap plotImage();

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
    void construct(bool loaded);
    void readFBData();
    void adoptPicks();
    void buildDensityGrid();
    void buildDensityMatrix();
    void setupPlot();
    void updateSpectrogramColorMap();
    void updateColorBarColorMap();
    void initBackgroundColorIcons();
    void updateInfoLabels();
    void showNotice();
    QString askImageFileName(const QString &caption);
    QPixmap grabImage(QWidget *widget);

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
    const DensityCell *densityCells = nullptr; // the occupied fine cells; owned by the model
    int matrixColumns = 0;
    int matrixRows = 0;
    qint64 cellCount = 0; // cells of the whole fine grid, occupied or not
    // The picks, grid and matrix that the members above hold or refer to, and the notices.
    std::unique_ptr<CrossPlotModel> m_model;
    QwtPlotTextLabel *noticeLabel = nullptr; // owned by the plot
};
