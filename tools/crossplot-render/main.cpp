// crossplot-render: renders the offset-FB density crossplot of FB files to PNG through the
// plug-in's own window, without a display.

#include "CrossPlotMap.h"
#include "FBHeader.h"
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

enum ExitCode { Success = 0, SaveFailed = 1, BadInput = 2 };

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

void printStats(const CrossPlotMap &window)
{
    std::printf("{\"recordCount\": %d, \"offsetLow\": %d, \"offsetHigh\": %d, \"pickCount\": %d, "
                "\"timeMax\": %d, \"cellCount\": %d, \"densityMax\": %d, \"matrixColumns\": %d, "
                "\"matrixRows\": %d}\n",
                window.loadedRecordCount(), window.offsetWindowLow(), window.offsetWindowHigh(),
                window.acceptedPickCount(), window.timeAxisMax(), window.densityCellCount(),
                window.densityScaleMax(), window.densityMatrixColumns(),
                window.densityMatrixRows());
    std::fflush(stdout);
}

bool writeMatrix(const CrossPlotMap &window, const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    const QVector<double> values =
        window.currentRasterData() ? window.currentRasterData()->valueMatrix() : QVector<double>();
    QByteArray bytes(values.size() * int(sizeof(double)), Qt::Uninitialized);
    for (int i = 0; i < values.size(); ++i)
        qToLittleEndian<double>(values.at(i), bytes.data() + i * sizeof(double));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
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
    CrossPlotMap window(param);
    progress.reset();

    setSpinBox(window, "pointSize", pointSize);
    setSpinBox(window, "cyanSpin", options.cyan);
    setSpinBox(window, "greenSpin", options.green);
    setSpinBox(window, "yellowSpin", options.yellow);
    if (auto *combo = window.findChild<QComboBox *>(QStringLiteral("backgroundColor")))
        combo->setCurrentIndex(options.background);

    if (options.stats)
        printStats(window);
    QString error;
    if (!options.matrixFile.isEmpty() && !writeMatrix(window, options.matrixFile, &error)) {
        std::fprintf(stderr, "crossplot-render: cannot write %s: %s\n",
                     qPrintable(options.matrixFile), qPrintable(error));
        return SaveFailed;
    }

    const QString image = imageName(options, fbName);
    if (image.isEmpty())
        return Success;
    window.resize(options.size.expandedTo(window.minimumSize()));
    window.show();
    QCoreApplication::processEvents();
    error = unwritableReason(image);
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
    return Success;
}

// The form's name-based connections to overloaded Qt signals make Qt note its choice on every
// window; on a command line that is noise around the output that matters.
void filterQtNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QMetaObject::connectSlotsByName: Connecting slot")) ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(filterQtNoise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    RenderOptions options;
    const int parsed = options.parse(app.arguments());
    if (parsed >= 0)
        return parsed;
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
