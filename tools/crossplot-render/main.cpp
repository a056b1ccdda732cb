// crossplot-render: renders the offset-FB density crossplot of FB files to PNG through the
// plug-in's own window, without a display.

#include "CommandLine.h"
#include "CrossPlotMap.h"
#include "CrossPlotModel.h"
#include "InputCheck.h"
#include "LoadProgressBar.h"
#include "RenderOptions.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// DrawIncomplete: the figures are true, but not all of the crossplot could be drawn within
// memory; stderr says what and why.
enum ExitCode { Success = 0, SaveFailed = 1, BadInput = 2, DrawIncomplete = 3 };

// The code that tells more of two: bad input before a failed write before a refusal.
int worse(int a, int b)
{
    const auto rank = [](int code) {
        return code == BadInput ? 3 : code == SaveFailed ? 2 : code == DrawIncomplete ? 1 : 0;
    };
    return rank(a) >= rank(b) ? a : b;
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

// Prints and writes the figures of a model; returns the exit code so far.
int reportFigures(const RenderOptions &options, const QString &fbName, const CrossPlotModel &model,
                  qint64 recordsInFile)
{
    const CrossPlotFigures figures = model.figures();
    if (options.stats) {
        // Keys that the figures did not always have come after them: whole records in the file.
        QByteArray line = figures.toJsonLine();
        line.chop(1);
        line += ", \"recordsInFile\": " + QByteArray::number(recordsInFile) + '}';
        std::printf("%s\n", line.constData());
        std::fflush(stdout);
    }
    int result = Success;
    if (!figures.notices.isEmpty()) {
        std::fprintf(stderr, "crossplot-render: %s: %s\n", qPrintable(fbName),
                     qPrintable(model.notice()));
        result = DrawIncomplete;
    }
    QString error;
    if (!options.matrixFile.isEmpty() &&
        !writeMatrix(model.matrix().values, options.matrixFile, &error)) {
        std::fprintf(stderr, "crossplot-render: cannot write %s: %s\n",
                     qPrintable(options.matrixFile), qPrintable(error));
        result = worse(result, SaveFailed);
    }
    return result;
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

int render(const RenderOptions &options, const QString &fbName)
{
    CrossPlotParam param = options.param;
    param.fbName = fbName;
    const InputCheck check = InputCheck::of(param);
    if (!check.passed()) {
        // The file's name is in the message already where it cannot be opened.
        std::fprintf(stderr, "crossplot-render: %s%s\n",
                     check.problem == InputCheck::Header ? qPrintable(fbName + QLatin1String(": "))
                                                         : "",
                     qPrintable(CommandLine::explained(check)));
        return BadInput;
    }

    // The window starts at the dialog's point size; other sizes go through its own control.
    const int pointSize = param.pointSize;
    param.pointSize = CrossPlotParam().pointSize;
    auto model = std::make_unique<CrossPlotModel>(param);
    // A pipe's header was read by the check: its records follow where it stands.
    model->readHeader(check.sequential ? &check.header : nullptr);
    {
        std::unique_ptr<LoadProgressBar> bar;
        if (isatty(fileno(stderr))) {
            bar.reset(new LoadProgressBar(QFileInfo(fbName).fileName()));
            bar->setRecords(model->recordCount());
        }
        model->readRecords([&bar](int value) {
            if (bar)
                bar->draw(value);
        });
    }
    const qint64 recordsInFile = model->recordsInFile();
    if (model->recordCount() > recordsInFile)
        std::fprintf(stderr,
                     "crossplot-render: %s: cut short: the header announces %d records, the file "
                     "holds %lld; the missing ones read as picks at 0 m, 0 ms\n",
                     qPrintable(fbName), model->recordCount(), qlonglong(recordsInFile));
    const QString image = imageName(options, fbName);
    if (image.isEmpty()) {
        // Figures alone need no window: the model builds what the window would, in its order.
        model->buildGrid();
        model->buildMatrix(param.pointSize);
        model->buildMatrix(pointSize);
        return reportFigures(options, fbName, *model, recordsInFile);
    }
    CrossPlotMap window(std::move(model));
    window.setPointSize(pointSize);
    window.setColorStops(options.cyan, options.green, options.yellow);
    window.setBackgroundIndex(options.background);
    int result = reportFigures(options, fbName, window.model(), recordsInFile);

    // The window cannot be smaller than its form allows; a smaller size is said once.
    static bool sizeTold = false;
    if (options.size.isValid() && !sizeTold &&
        (options.size.width() < window.minimumWidth() ||
         options.size.height() < window.minimumHeight())) {
        const QSize used = options.size.expandedTo(window.minimumSize());
        std::fprintf(stderr,
                     "crossplot-render: --size %dx%d is below the window's minimum %dx%d; using "
                     "%dx%d\n",
                     options.size.width(), options.size.height(), window.minimumWidth(),
                     window.minimumHeight(), used.width(), used.height());
        sizeTold = true;
    }
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
        return worse(result, SaveFailed);
    }
    if (!options.stats)
        std::printf("%s\n", qPrintable(image));
    return result;
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
    CommandLine::installTranslations();
    CommandLine::warnAboutEnvironment(QStringLiteral("crossplot-render"));
    if (options.files.size() > 1 && !options.output.isEmpty() && !QDir().mkpath(options.output)) {
        std::fprintf(stderr, "crossplot-render: cannot create the directory %s\n",
                     qPrintable(options.output));
        return SaveFailed;
    }
    // Every file is tried; the exit code tells the worst of them.
    int result = Success;
    for (const QString &fbName : qAsConst(options.files))
        result = worse(result, render(options, fbName));
    return result;
}
