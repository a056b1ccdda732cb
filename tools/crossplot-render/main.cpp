// crossplot-render: renders the offset-FB density crossplot of FB files to PNG through the
// plug-in's own window, without a display.

#include "CommandLine.h"
#include "CrossPlotMap.h"
#include "DensityGrid.h"
#include "DrawNotice.h"
#include "FBHeader.h"
#include "FBLoader.h"
#include "LoadProgressBar.h"
#include "RenderOptions.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSpinBox>
#include <QtEndian>
#include <cstdio>
#include <qwt_matrix_raster_data.h>
#include <unistd.h>

namespace {

// DrawIncomplete: the figures are true, but not all of the crossplot could be drawn within
// memory; stderr says what and why.
enum ExitCode { Success = 0, SaveFailed = 1, BadInput = 2, DrawIncomplete = 3 };

QString dialogText(const char *text)
{
    return QCoreApplication::translate("CrossPlotDialog", text);
}

// The checks of the dialog's OK, with its message texts; a command line reports on stderr.
bool checkInput(const CrossPlotParam &param)
{
    if (!param.offsetRangeIsLegal()) {
        std::fprintf(stderr, "%s\n", qPrintable(dialogText("Error: the offset range is illegal.")));
        return false;
    }
    QFile file(param.fbName);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(dialogText("Error: fail to open the file: %1").arg(param.fbName)));
        return false;
    }
    if (!FBHeader::read(file).isLegal()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(param.fbName),
                     qPrintable(dialogText("Error: the input file is illegal.")));
        return false;
    }
    return true;
}

// The figures that --stats prints and the matrix that --matrix writes.
struct Figures
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
    QVector<double> matrix;
    QString notice; // what could not be drawn, as the window's canvas says it
};

Figures figuresOf(const CrossPlotMap &window)
{
    Figures figures;
    figures.recordCount = window.loadedRecordCount();
    figures.offsetLow = window.offsetWindowLow();
    figures.offsetHigh = window.offsetWindowHigh();
    figures.pickCount = window.acceptedPickCount();
    figures.timeMax = window.timeAxisMax();
    figures.cellCount = window.densityCellCount();
    figures.densityMax = window.densityScaleMax();
    figures.matrixColumns = window.densityMatrixColumns();
    figures.matrixRows = window.densityMatrixRows();
    if (window.currentRasterData())
        figures.matrix = window.currentRasterData()->valueMatrix();
    figures.notice = window.canvasNotice();
    return figures;
}

// The same figures without a window: the window's units called as its readFBData(),
// buildDensityGrid() and buildDensityMatrix() call them, with no display, fonts or widgets to
// set up. Like the window, a matrix that cannot be built at the asked point size leaves the
// one of the first point size in place.
Figures figuresWithoutWindow(const CrossPlotParam &param, int pointSize, LoadProgressBar *bar)
{
    Figures figures;
    FBLoader loader(param.fbName, FBPickFilter::of(param));
    FBPicks picks;
    loader.readHeader(picks);
    if (bar)
        bar->draw(0);
    loader.readRecords(picks, [bar](int value) {
        if (bar)
            bar->draw(value);
    });
    QStringList notices{DrawNotice::forPicks(picks)};

    const DensityGrid::Result grid = DensityGrid::build(
        picks.offsets, picks.fbTimes, picks.offsetLow, picks.offsetHigh, picks.zeroPicks);
    notices << DrawNotice::forGrid(grid);
    DensityMatrix matrix;
    if (notices.last().isEmpty()) {
        for (int size : {pointSize, param.pointSize}) {
            matrix = DensityGrid::resample(grid, picks.offsetLow, picks.offsetHigh, size);
            if (size == pointSize)
                notices << DrawNotice::forMatrix(matrix, pointSize);
            if (matrix.refusedBytes == 0)
                break;
            matrix = DensityMatrix();
        }
    }
    notices.removeAll(QString());

    figures.recordCount = picks.recordCount;
    figures.offsetLow = picks.offsetLow;
    figures.offsetHigh = picks.offsetHigh;
    figures.pickCount = picks.pickCount;
    figures.timeMax = grid.timeMax;
    figures.cellCount = grid.cellCount;
    figures.densityMax = grid.densityMax;
    figures.matrixColumns = matrix.columns;
    figures.matrixRows = matrix.rows;
    figures.matrix = matrix.values;
    figures.notice = notices.join(QLatin1String("\n\n"));
    return figures;
}

void printStats(const Figures &figures)
{
    std::printf("{\"recordCount\": %d, \"offsetLow\": %d, \"offsetHigh\": %d, \"pickCount\": %d, "
                "\"timeMax\": %d, \"cellCount\": %lld, \"densityMax\": %d, \"matrixColumns\": %d, "
                "\"matrixRows\": %d}\n",
                figures.recordCount, figures.offsetLow, figures.offsetHigh, figures.pickCount,
                figures.timeMax, qlonglong(figures.cellCount), figures.densityMax,
                figures.matrixColumns, figures.matrixRows);
    std::fflush(stdout);
}

bool writeMatrix(const QVector<double> &values, const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    QByteArray bytes(values.size() * int(sizeof(double)), Qt::Uninitialized);
    for (int i = 0; i < values.size(); ++i)
        qToLittleEndian<double>(values.at(i), bytes.data() + i * sizeof(double));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Prints and writes the figures; returns the exit code so far.
int reportFigures(const RenderOptions &options, const QString &fbName, const Figures &figures)
{
    if (options.stats)
        printStats(figures);
    if (!figures.notice.isEmpty())
        std::fprintf(stderr, "crossplot-render: %s: %s\n", qPrintable(fbName),
                     qPrintable(figures.notice));
    QString error;
    if (!options.matrixFile.isEmpty() && !writeMatrix(figures.matrix, options.matrixFile, &error)) {
        std::fprintf(stderr, "crossplot-render: cannot write %s: %s\n",
                     qPrintable(options.matrixFile), qPrintable(error));
        return SaveFailed;
    }
    return figures.notice.isEmpty() ? Success : DrawIncomplete;
}

QString imageName(const RenderOptions &options, const QString &fbName)
{
    const QString name = QFileInfo(fbName).completeBaseName() + QStringLiteral(".png");
    if (options.files.size() > 1)
        return QDir(options.output).filePath(name);
    if (!options.output.isEmpty())
        return options.output;
    if (options.stats || !options.matrixFile.isEmpty())
        return QString();
    return name;
}

// Says why an image cannot be written before the window's silent save is tried.
QString unwritableReason(const QString &fileName)
{
    QFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    return QString();
}

void setSpinBox(CrossPlotMap &window, const char *name, int value)
{
    if (auto *spin = window.findChild<QSpinBox *>(QLatin1String(name)))
        spin->setValue(value);
}

int render(const RenderOptions &options, const QString &fbName)
{
    CrossPlotParam param = options.param;
    param.fbName = fbName;
    if (!checkInput(param))
        return BadInput;

    // The window starts at the dialog's point size; other sizes go through its own control.
    const int pointSize = param.pointSize;
    param.pointSize = CrossPlotParam().pointSize;
    std::unique_ptr<LoadProgressBar> progress;
    if (isatty(fileno(stderr)))
        progress.reset(new LoadProgressBar(QFileInfo(fbName).fileName()));
    const QString image = imageName(options, fbName);
    if (image.isEmpty()) {
        const Figures figures = figuresWithoutWindow(param, pointSize, progress.get());
        progress.reset();
        return reportFigures(options, fbName, figures);
    }
    CrossPlotMap window(param);
    progress.reset();

    setSpinBox(window, "pointSize", pointSize);
    setSpinBox(window, "cyanSpin", options.cyan);
    setSpinBox(window, "greenSpin", options.green);
    setSpinBox(window, "yellowSpin", options.yellow);
    if (auto *combo = window.findChild<QComboBox *>(QStringLiteral("backgroundColor")))
        combo->setCurrentIndex(options.background);

    const int drawn = reportFigures(options, fbName, figuresOf(window));
    if (drawn == SaveFailed)
        return drawn;
    window.resize(options.size.expandedTo(window.minimumSize()));
    window.show();
    QCoreApplication::processEvents();
    QString error = unwritableReason(image);
    if (error.isEmpty()) {
        const bool saved =
            options.wholeWindow ? window.saveWindowImage(image) : window.savePlotImage(image);
        if (!saved)
            error = QStringLiteral("the image could not be encoded");
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "crossplot-render: cannot write %s: %s\n", qPrintable(image),
                     qPrintable(error));
        return SaveFailed;
    }
    if (!options.stats)
        std::printf("%s\n", qPrintable(image));
    return drawn;
}

} // namespace

int main(int argc, char *argv[])
{
    CommandLine::quietQtNotes();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    RenderOptions options;
    const int parsed = options.parse(arguments);
    if (parsed >= 0)
        return parsed;
    // Figures alone need no display, platform plugin, fonts or widgets, which were most of
    // the start-up; an image needs all of them.
    const bool images =
        options.files.size() > 1 || !imageName(options, options.files.value(0)).isEmpty();
    std::unique_ptr<QCoreApplication> app(images ? new QApplication(argc, argv)
                                                 : new QCoreApplication(argc, argv));
    if (options.files.size() > 1 && !options.output.isEmpty() && !QDir().mkpath(options.output)) {
        std::fprintf(stderr, "crossplot-render: cannot create the directory %s\n",
                     qPrintable(options.output));
        return SaveFailed;
    }
    // Every file is tried; the exit code is the worst of them.
    int result = Success;
    for (const QString &fbName : qAsConst(options.files))
        result = qMax(result, render(options, fbName));
    return result;
}
