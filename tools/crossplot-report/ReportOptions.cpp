#include "ReportOptions.h"

#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ReportOptions", text);
}

bool toPercent(const QString &text, double *value)
{
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    if (!ok || !(parsed >= 0.0 && parsed <= 100.0))
        return false;
    *value = parsed;
    return true;
}

} // namespace

ReportOptions::Outcome ReportOptions::parse(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Writes a QC report over FB files: a summary table, the Correct, Error and Both "
           "crossplots of each file, the picks far from the survey's own trend and its "
           "near-surface model.\n"
           "\n"
           "Exit codes:\n"
           "  0  the report is written, flags and refused files included\n"
           "  1  the report folder cannot be written, or no file could be read\n"
           "  2  a bad command line"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    tr("Report folder; files in it are overwritten one by one."),
                                    tr("DIR"));
    const QCommandLineOption minOffsetOption(QStringLiteral("min-offset"),
                                             tr("Lower offset limit, metres (default 0)."), tr("M"),
                                             QStringLiteral("0"));
    const QCommandLineOption maxOffsetOption(
        QStringLiteral("max-offset"),
        tr("Upper offset limit, metres; both 0: no limit (default 0)."), tr("M"),
        QStringLiteral("0"));
    const QCommandLineOption pointSizeOption(QStringLiteral("point-size"),
                                             tr("Density cell size 1..20 (default 4)."), tr("N"),
                                             QStringLiteral("4"));
    const QCommandLineOption errorShareOption(
        QStringLiteral("flag-error-share"),
        tr("Flag files whose erroneous picks exceed this share (default 10)."), tr("PERCENT"),
        QStringLiteral("10"));
    const QCommandLineOption suspectShareOption(
        QStringLiteral("flag-suspect-share"),
        tr("Flag files whose suspect Correct picks exceed this share (default 5)."), tr("PERCENT"),
        QStringLiteral("5"));
    const QCommandLineOption trendBinOption(QStringLiteral("trend-bin"),
                                            tr("Width of the trend's offset bins, metres "
                                               "(default 10)."),
                                            tr("M"), QStringLiteral("10"));
    const QCommandLineOption suspectOption(
        QStringLiteral("suspect-ms"),
        tr("A pick further than this from its bin's median time is suspect (default 20)."),
        tr("MS"), QStringLiteral("20"));
    const QCommandLineOption noTrendOption(QStringLiteral("no-trend"),
                                           tr("Skip the trend, the suspect lists and the "
                                              "residual histograms."));
    parser.addOptions({output, minOffsetOption, maxOffsetOption, pointSizeOption, errorShareOption,
                       suspectShareOption, trendBinOption, suspectOption, noTrendOption});
    parser.addPositionalArgument(tr("FILE|FOLDER"),
                                 tr("FB files (.fb, .cal, .fit), or folders of them."),
                                 tr("FILE|FOLDER..."));

    auto fail = [](const QString &message) {
        CommandLine::refuse(QStringLiteral("crossplot-report"), message);
        return Outcome::Fail;
    };
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return Outcome::Exit;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(app.applicationName()),
                    qPrintable(app.applicationVersion()));
        return Outcome::Exit;
    }

    const struct
    {
        const QCommandLineOption &option;
        int low;
        int high;
        int *value;
    } ints[] = {{minOffsetOption, 0, 100000, &minOffset},
                {maxOffsetOption, 0, 100000, &maxOffset},
                {pointSizeOption, 1, 20, &pointSize},
                {trendBinOption, 1, 100000, &trendBin},
                {suspectOption, 0, 100000, &suspectMs}};
    for (const auto &entry : ints) {
        const QString value = parser.value(entry.option);
        if (!CommandLine::toInt(value, entry.low, entry.high, entry.value))
            return fail(tr("bad value \"%1\" for --%2: a whole number from %3 to %4")
                            .arg(value, entry.option.names().constFirst())
                            .arg(entry.low)
                            .arg(entry.high));
    }
    const struct
    {
        const QCommandLineOption &option;
        double *value;
    } percents[] = {{errorShareOption, &flagErrorShare}, {suspectShareOption, &flagSuspectShare}};
    for (const auto &entry : percents) {
        const QString value = parser.value(entry.option);
        if (!toPercent(value, entry.value))
            return fail(tr("bad value \"%1\" for --%2: a percentage from 0 to 100")
                            .arg(value, entry.option.names().constFirst()));
    }
    trend = !parser.isSet(noTrendOption);
    outputDir = parser.value(output);
    inputs = parser.positionalArguments();
    if (outputDir.isEmpty())
        return fail(tr("no report folder given (-o DIR)"));
    if (inputs.isEmpty())
        return fail(tr("no FB file or folder given"));
    return Outcome::Run;
}
