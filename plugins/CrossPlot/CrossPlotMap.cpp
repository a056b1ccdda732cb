#include "CrossPlotMap.h"

#include "DrawNotice.h"
#include "FBLoader.h"
#include "LinearColorMapRGB.h"
#include "PointPicker.h"
#include "RealScaleDraw.h"
#include "velPicker.h"

#include "ui_CrossPlotMap.h"

#include <KyProjectManager.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProgressDialog>
#include <qwt_matrix_raster_data.h>
#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_plot_textlabel.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>
#include <utility>

namespace {

const int BackgroundColorCount = 4;
// Characters per line of the canvas notice: narrower than the smallest canvas.
const int NoticeLineLength = 64;

// Canvas colours of the background combo's items; invalid for any other index.
QColor backgroundColorAt(int index)
{
    switch (index) {
    case 0:
        return QColor(Qt::white);
    case 1:
        return QColor(240, 240, 240);
    case 2:
        return QColor(100, 200, 255);
    case 3:
        return QColor(50, 200, 100);
    default:
        return QColor();
    }
}

} // namespace

CrossPlotMap::CrossPlotMap(CrossPlotParam param, QWidget *parent)
    : QMainWindow(parent), ui(new Ui_CrossPlotMap), param(std::move(param))
{
    construct(nullptr);
}

CrossPlotMap::CrossPlotMap(CrossPlotParam param, const FBPicks &picks, QWidget *parent)
    : QMainWindow(parent), ui(new Ui_CrossPlotMap), param(std::move(param))
{
    construct(&picks);
}

// loaded: picks to show instead of reading the file; null reads param.fbName.
void CrossPlotMap::construct(const FBPicks *loaded)
{
    ui->setupUi(this);
    // The plot takes its scales' label margins from its previous layout. Laid out at the
    // placeholder size of a hidden widget, it would start from margins that do not fit, and the
    // canvas map would disagree with the drawn axis labels until the first resize.
    layout()->activate();
    ui->verticalLayout_3->activate();
    qwtPlot = ui->qwtPlot;
    projectPath = KyProjectManager::instance().define().projectPath;
    on_backgroundColor_currentIndexChanged();

    param.applyLVLCorr = false;
    if (loaded)
        adoptPicks(*loaded);
    else
        readFBData();
    buildDensityGrid();
    buildDensityMatrix();
    setupPlot();

    on_resetColorSetting_clicked();
    initBackgroundColorIcons();
    updateInfoLabels();

    savePlotAction = new QAction(tr("Save plot to image file"), this);
    saveWindowAction = new QAction(tr("Save window to image file"), this);
    connect(savePlotAction, SIGNAL(triggered()), this, SLOT(slot_savePlot()));
    connect(saveWindowAction, SIGNAL(triggered()), this, SLOT(slot_saveWindow()));
}

CrossPlotMap::~CrossPlotMap()
{
    offsets.clear();
    fbTimes.clear();
    densityCells.reset();
    delete spectrogram;
    delete ui;
}

bool CrossPlotMap::savePlotImage(const QString &fileName)
{
    return saveImage(qwtPlot, fileName);
}

bool CrossPlotMap::saveWindowImage(const QString &fileName)
{
    return saveImage(this, fileName);
}

void CrossPlotMap::mousePressEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton)
        pointPicker->hideText = !pointPicker->hideText;
}

void CrossPlotMap::contextMenuEvent(QContextMenuEvent *)
{
    // Deleted once closed, so repeated right clicks do not pile menus up on the window; the
    // guard covers a window that is destroyed while its menu is open.
    QPointer<QMenu> menu = new QMenu(this);
    menu->addAction(savePlotAction);
    menu->addAction(saveWindowAction);
    menu->exec(QCursor::pos());
    if (menu)
        menu->deleteLater();
}

void CrossPlotMap::on_pointSize_valueChanged()
{
    param.pointSize = ui->pointSize->value();
    QwtMatrixRasterData *const previous = rasterData;
    buildDensityMatrix();
    if (rasterData != previous)
        spectrogram->setData(rasterData);
    showNotice();
    qwtPlot->replot();
}

void CrossPlotMap::on_backgroundColor_currentIndexChanged()
{
    const QColor color = backgroundColorAt(ui->backgroundColor->currentIndex());
    if (color.isValid())
        qwtPlot->setCanvasBackground(QBrush(color, Qt::SolidPattern));
    qwtPlot->replot();
}

void CrossPlotMap::on_resetColorSetting_clicked()
{
    cyanRatio = 0.15;
    greenRatio = 0.25;
    yellowRatio = 0.55;
    // Only sliders that move rebuild the maps, through their spin boxes' slots.
    ui->cyanSlider->setValue(int(cyanRatio * 100.0));
    ui->greenSlider->setValue(int(greenRatio * 100.0));
    ui->yellowSlider->setValue(int(yellowRatio * 100.0));
}

void CrossPlotMap::applyColorSetting()
{
    updateSpectrogramColorMap();
    updateColorBarColorMap();
    qwtPlot->replot();
}

void CrossPlotMap::slot_savePlot()
{
    const QString fileName = askImageFileName(tr("Save plot to image"));
    if (!fileName.isEmpty())
        savePlotImage(fileName);
}

void CrossPlotMap::slot_saveWindow()
{
    const QString fileName = askImageFileName(tr("Save window to mage"));
    if (!fileName.isEmpty())
        saveWindowImage(fileName);
}

void CrossPlotMap::on_cyanSpin_valueChanged()
{
    cyanRatio = double(float(ui->cyanSpin->value()) / 100.0f);
    applyColorSetting();
}

void CrossPlotMap::on_greenSpin_valueChanged()
{
    greenRatio = double(float(ui->greenSpin->value()) / 100.0f);
    applyColorSetting();
}

void CrossPlotMap::on_yellowSpin_valueChanged()
{
    yellowRatio = double(float(ui->yellowSpin->value()) / 100.0f);
    applyColorSetting();
}

void CrossPlotMap::readFBData()
{
    FBLoader loader(param.fbName, FBPickFilter::of(param));
    FBPicks picks;
    loader.readHeader(picks);

    QProgressDialog progress(tr("Read FB data......"), QObject::tr("Cancel"), 0, 100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(QObject::tr("Read FB data"));
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(1000);
    progress.setMinimumWidth(300);
    progress.setMinimumHeight(80);
    progress.show();
    progress.setValue(0);

    // Picks that do not fit in memory are counted, not stored; the notice says so.
    loader.readRecords(picks, [&progress](int value) { progress.setValue(value); });
    adoptPicks(picks);
}

void CrossPlotMap::adoptPicks(const FBPicks &picks)
{
    recordCount = picks.recordCount;
    offsetLow = picks.offsetLow;
    offsetHigh = picks.offsetHigh;
    // Shared, not copied: the vectors are never written to afterwards.
    offsets = picks.offsets;
    fbTimes = picks.fbTimes;
    pickCount = picks.pickCount;
    zeroPicks = picks.zeroPicks;
    pickNotice = DrawNotice::forPicks(picks);
    pickGrant = picks.grant;
}

void CrossPlotMap::buildDensityGrid()
{
    // A grid that memory refuses has no cells; the notice says why.
    DensityGrid::Result grid =
        DensityGrid::build(offsets, fbTimes, offsetLow, offsetHigh, zeroPicks);
    timeMax = grid.timeMax;
    densityCells = std::move(grid.cells);
    occupiedCells = grid.occupiedCount;
    cellCount = grid.cellCount;
    densityMax = grid.densityMax;
    gridNotice = DrawNotice::forGrid(grid);
    gridGrant = grid.grant;
}

void CrossPlotMap::buildDensityMatrix()
{
    // Without a grid there is nothing to resample, and the grid's notice has said why.
    DensityMatrix matrix;
    if (gridNotice.isEmpty())
        matrix = DensityGrid::resample(densityCells.get(), occupiedCells, offsetLow, offsetHigh,
                                       timeMax, param.pointSize);
    matrixNotice = DrawNotice::forMatrix(matrix, param.pointSize);
    // A matrix that cannot be built leaves the one drawn before in place.
    if (rasterData && !matrixNotice.isEmpty())
        return;
    if (!matrixNotice.isEmpty())
        matrix.columns = matrix.rows = 0;
    matrixGrant = matrix.grant;
    matrixColumns = matrix.columns;
    matrixRows = matrix.rows;
    const bool hasCells = matrixColumns > 0 && matrixRows > 0 &&
                          matrix.values.size() == qint64(matrixColumns) * matrixRows;

    rasterData = new QwtMatrixRasterData;
    if (hasCells) {
        rasterData->setInterval(Qt::XAxis, QwtInterval(offsetLow, offsetHigh));
        rasterData->setInterval(Qt::YAxis, QwtInterval(0.0, timeMax));
    } else {
        // Without cells the raster would divide by a zero cell size for every pixel, so it is
        // given no extent and answers "no value" everywhere.
        rasterData->setInterval(Qt::XAxis, QwtInterval());
        rasterData->setInterval(Qt::YAxis, QwtInterval());
        matrix.values.clear();
    }
    rasterData->setInterval(Qt::ZAxis, QwtInterval(0.0, densityMax));
    rasterData->setValueMatrix(matrix.values, matrixColumns);
}

QString CrossPlotMap::canvasNotice() const
{
    QStringList parts;
    for (const QString &part : {pickNotice, gridNotice, matrixNotice}) {
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1String("\n\n"));
}

void CrossPlotMap::showNotice()
{
    const QString notice = canvasNotice();
    if (notice.isEmpty()) {
        // Kept attached, so that the plot that owns it deletes it.
        if (noticeLabel)
            noticeLabel->setText(QwtText());
        return;
    }
    if (!noticeLabel) {
        noticeLabel = new QwtPlotTextLabel;
        noticeLabel->attach(qwtPlot);
    }
    // The label draws its text at its natural size, unwrapped, so the lines are broken here.
    QStringList lines;
    for (const QString &paragraph : notice.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '))) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > NoticeLineLength) {
                lines << line;
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines << line;
    }
    QwtText text(lines.join(QLatin1Char('\n')));
    text.setRenderFlags(Qt::AlignCenter);
    text.setColor(Qt::darkRed);
    text.setBackgroundBrush(QColor(255, 255, 255, 220));
    text.setBorderPen(QPen(Qt::darkRed));
    text.setBorderRadius(4);
    noticeLabel->setText(text);
    noticeLabel->setMargin(20);
}

void CrossPlotMap::setupPlot()
{
    QwtText title(tr("Offset-FB CrossPlot"));
    QFont titleFont;
    titleFont.setPixelSize(18);
    title.setFont(titleFont);
    title.setColor(Qt::darkRed);
    qwtPlot->setTitle(title);

    QwtText topTitle(QStringLiteral(" "));
    QFont topFont;
    topFont.setBold(true);
    topFont.setPixelSize(6);
    topTitle.setFont(topFont);
    topTitle.setColor(Qt::black);

    QFont axisFont;
    axisFont.setBold(true);
    axisFont.setPixelSize(13);
    QwtText bottomTitle(QObject::tr("Offset (m)"));
    bottomTitle.setFont(axisFont);
    bottomTitle.setColor(Qt::black);
    QwtText leftTitle(tr("FB Time (ms)"));
    leftTitle.setFont(axisFont);
    leftTitle.setColor(Qt::black);

    qwtPlot->setCanvasBackground(QBrush(QColor(255, 255, 255), Qt::SolidPattern));

    qwtPlot->setAxisScale(QwtPlot::yLeft, 0.0, timeMax, 0.0);
    qwtPlot->setAxisScale(QwtPlot::xTop, offsetLow, offsetHigh, 0.0);
    qwtPlot->setAxisScale(QwtPlot::xBottom, offsetLow, offsetHigh, 0.0);

    qwtPlot->setAxisTitle(QwtPlot::yLeft, leftTitle);
    qwtPlot->enableAxis(QwtPlot::xTop);
    qwtPlot->setAxisTitle(QwtPlot::xTop, topTitle);
    qwtPlot->setAxisTitle(QwtPlot::xBottom, bottomTitle);

    qwtPlot->setAxisScaleDraw(QwtPlot::xBottom, new RealScaleDraw);
    qwtPlot->setAxisScaleDraw(QwtPlot::yLeft, new RealScaleDraw);

    for (int axis : {QwtPlot::xTop, QwtPlot::xBottom, QwtPlot::yLeft, QwtPlot::yRight})
        qwtPlot->axisWidget(axis)->setSpacing(10);
    qwtPlot->setContentsMargins(15, 15, 15, 15);

    qwtPlot->setFooter(QwtText(QObject::tr("FB file: ") + param.fbName));

    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(Qt::gray, 0.0, Qt::DotLine);
    grid->attach(qwtPlot);

    pointPicker = new PointPicker(qwtPlot->canvas());
    pointPicker->setTrackerMode(QwtPicker::ActiveOnly);
    pointPicker->setStateMachine(new QwtPickerTrackerMachine);
    pointPicker->setRubberBand(QwtPicker::CrossRubberBand);
    pointPicker->setRubberBandPen(QPen(Qt::blue));

    new velPicker(qwtPlot->canvas());
    // The pickers make the canvas take the focus by Tab, and it lies between the background
    // combo and the cyan slider in the focus chain; a click on it still gives it the focus.
    qwtPlot->canvas()->setFocusPolicy(Qt::ClickFocus);

    spectrogram = new QwtPlotSpectrogram;
    spectrogram->setRenderThreadCount(0);
    spectrogram->setCachePolicy(QwtPlotRasterItem::PaintCache);
    spectrogram->setData(rasterData);
    spectrogram->attach(qwtPlot);

    const QwtInterval densityInterval = spectrogram->data()->interval(Qt::ZAxis);

    colorBar = qwtPlot->axisWidget(QwtPlot::yRight);
    QwtText colorBarTitle(tr("FB Density"));
    QFont colorBarFont;
    colorBarFont.setPixelSize(15);
    colorBarFont.setBold(true);
    colorBarTitle.setFont(colorBarFont);
    colorBarTitle.setColor(Qt::darkRed);
    colorBar->setTitle(colorBarTitle);
    colorBar->setColorBarEnabled(true);

    qwtPlot->setAxisScale(QwtPlot::yRight, densityInterval.minValue(), densityInterval.maxValue(),
                          0.0);
    qwtPlot->enableAxis(QwtPlot::yRight);

    qwtPlot->plotLayout()->setAlignCanvasToScales(true);
    qwtPlot->canvas()->setGeometry(10, 10, matrixColumns, matrixRows);

    updateSpectrogramColorMap();
    updateColorBarColorMap();
    showNotice();

    qwtPlot->replot();
    qwtPlot->show();
}

void CrossPlotMap::updateSpectrogramColorMap()
{
    spectrogramColorMap = new LinearColorMapRGB;
    spectrogramColorMap->addColorStop(cyanRatio, Qt::cyan);
    spectrogramColorMap->addColorStop(greenRatio, Qt::green);
    spectrogramColorMap->addColorStop(yellowRatio, Qt::yellow);
    spectrogram->setColorMap(spectrogramColorMap);
}

void CrossPlotMap::updateColorBarColorMap()
{
    // The colour bar owns its map, so it never shares the spectrogram's.
    colorBarColorMap = new LinearColorMapRGB;
    colorBarColorMap->addColorStop(cyanRatio, Qt::cyan);
    colorBarColorMap->addColorStop(greenRatio, Qt::green);
    colorBarColorMap->addColorStop(yellowRatio, Qt::yellow);
    colorBar->setColorMap(spectrogram->data()->interval(Qt::ZAxis), colorBarColorMap);
}

void CrossPlotMap::initBackgroundColorIcons()
{
    QImage swatch(16, 16, QImage::Format_RGB32);
    swatch.fill(Qt::white);
    {
        QPainter painter(&swatch);
        painter.fillRect(1, 1, 14, 14, QColor(80, 80, 80));
    }
    for (int index = 0; index < BackgroundColorCount; ++index) {
        {
            QPainter painter(&swatch);
            painter.fillRect(2, 2, 12, 12, backgroundColorAt(index));
        }
        ui->backgroundColor->setItemIcon(index, QIcon(QPixmap::fromImage(swatch)));
    }
}

void CrossPlotMap::updateInfoLabels()
{
    if (param.plotCorrectFB)
        ui->forTypeLabel->setText(QObject::tr("Correct"));
    else if (param.plotErrorFB)
        ui->forTypeLabel->setText(tr("Error"));
    else
        ui->forTypeLabel->setText(QObject::tr("Both"));

    ui->forOffsetRangeLabel->setText(QString::number(offsetLow) + QLatin1String(" - ") +
                                     QString::number(offsetHigh));

    // A file without records keeps none of them: 0.00% instead of the nan of 0 / 0.
    const float share = recordCount != 0 ? 100.0f * float(pickCount) / float(recordCount) : 0.0f;
    ui->forFBNumLabel->setText(tr("%L1 ( %2% )")
                                   .arg(pickCount, 0, 10, QLatin1Char(' '))
                                   .arg(double(share), 0, 'f', 2, QLatin1Char(' ')));
}

QString CrossPlotMap::askImageFileName(const QString &caption)
{
    QString fileName =
        QFileDialog::getSaveFileName(this, caption, projectPath, tr("Images (*.png)"));
    if (!fileName.isEmpty() &&
        QFileInfo(fileName).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        fileName += QLatin1String(".png");
    return fileName;
}

bool CrossPlotMap::saveImage(QWidget *widget, const QString &fileName)
{
    // Neither crosshair nor tracker text belongs in the image.
    pointPicker->setEnabled(false);
    const bool saved = widget->grab().save(fileName);
    pointPicker->setEnabled(true);
    return saved;
}
