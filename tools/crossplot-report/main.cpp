// crossplot-report: a QC report over many FB files, drawn through the plug-in's own window code
// without a display.

#include "CommandLine.h"
#include "CrossPlotParam.h"
#include "FileQc.h"
#include "InputCheck.h"
#include "ReportOptions.h"
#include "ReportPage.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failed = 1, BadArguments = 2 };

QString tr(const char *text)
{
    return QCoreApplication::translate("crossplot-report", text);
}

// A folder stands for its FB files in name order; anything else is taken as given. Entries
// that merely carry an FB name, such as a folder called a.fb, are kept so that the report says
// what they are. A folder without FB files is kept as itself, to be reported.
QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.isDir()) {
            files << input;
            continue;
        }
        const QStringList names = QDir(input).entryList(
            {QStringLiteral("*.fb"), QStringLiteral("*.cal"), QStringLiteral("*.fit")},
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        if (names.isEmpty())
            files << input;
        const QString prefix = input.endsWith(QLatin1Char('/')) ? input : input + QLatin1Char('/');
        for (const QString &name : names)
            files << prefix + name;
    }
    return files;
}

bool writeFile(const QString &fileName, const QByteArray &bytes, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    CommandLine::quietQtNotes();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("crossplot-report"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));

    ReportOptions options;
    switch (options.parse(app)) {
    case ReportOptions::Outcome::Exit:
        return Success;
    case ReportOptions::Outcome::Fail:
        return BadArguments;
    case ReportOptions::Outcome::Run:
        break;
    }
    CommandLine::installTranslations();
    CommandLine::warnAboutEnvironment(QStringLiteral("crossplot-report"));
    // The offset range is the same for every file: checked once, before any file.
    CrossPlotParam range;
    range.minOffset = options.minOffset;
    range.maxOffset = options.maxOffset;
    const InputCheck rangeCheck = InputCheck::ofOffsetRange(range);
    if (!rangeCheck.passed()) {
        std::fprintf(stderr, "crossplot-report: %s\n", qPrintable(rangeCheck.message));
        return BadArguments;
    }

    // Made sure of before any file is read: a report that cannot be written is not worth it.
    const QDir dir(options.outputDir);
    QString error;
    for (const char *sub : {"images", "suspects"}) {
        if (!QDir().mkpath(dir.filePath(QLatin1String(sub)))) {
            std::fprintf(
                stderr, "crossplot-report: %s\n",
                qPrintable(
                    tr("cannot create the folder %1").arg(dir.filePath(QLatin1String(sub)))));
            return Failed;
        }
    }
    const QString summaryName = dir.filePath(QStringLiteral("summary.json"));
    if (!writeFile(summaryName, QByteArray("{\"files\": []}\n"), &error)) {
        std::fprintf(stderr, "crossplot-report: %s\n",
                     qPrintable(tr("cannot write %1: %2").arg(summaryName, error)));
        return Failed;
    }

    const QStringList files = expandInputs(options.inputs);
    FileQc qc(options, dir);
    QVector<FileReport> reports;
    QJsonArray entries;
    bool anyRead = false;
    for (int i = 0; i < files.size(); ++i) {
        reports.append(qc.run(files.at(i), i, files.size()));
        entries.append(reports.constLast().toJson(options.trend));
        anyRead = anyRead || reports.constLast().readable;
    }

    const QString pageName = dir.filePath(QStringLiteral("index.html"));
    // The run's parameters and date beside the files, so that a summary tells how it was made.
    const QJsonObject parameters{{QStringLiteral("minOffset"), options.minOffset},
                                 {QStringLiteral("maxOffset"), options.maxOffset},
                                 {QStringLiteral("pointSize"), options.pointSize},
                                 {QStringLiteral("trend"), options.trend},
                                 {QStringLiteral("trendBin"), options.trendBin},
                                 {QStringLiteral("suspectMs"), options.suspectMs},
                                 {QStringLiteral("flagErrorShare"), options.flagErrorShare},
                                 {QStringLiteral("flagSuspectShare"), options.flagSuspectShare}};
    const QJsonObject summary{
        {QStringLiteral("parameters"), parameters},
        {QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        {QStringLiteral("files"), entries}};
    if (!writeFile(summaryName, QJsonDocument(summary).toJson(), &error) ||
        !writeFile(pageName, ReportPage::html(reports, options), &error)) {
        std::fprintf(
            stderr, "crossplot-report: %s\n",
            qPrintable(tr("cannot write the report in %1: %2").arg(options.outputDir, error)));
        return Failed;
    }
    std::printf("%s\n", qPrintable(pageName));
    if (!anyRead) {
        std::fprintf(stderr, "crossplot-report: %s\n", qPrintable(tr("no file could be read")));
        return Failed;
    }
    return Success;
}
