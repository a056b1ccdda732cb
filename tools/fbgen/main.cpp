// fbgen: writes a synthetic FB pick file of a refraction survey.

#include "CommandLine.h"
#include "FBSynth.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <limits>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // A core application only: the parser's help and version texts need one, and fbgen has
    // nothing to show.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));
    const auto refuse = [](const QString &message) {
        return CommandLine::refuse(QStringLiteral("fbgen"), message);
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a synthetic FB pick file (16-byte header, 84-byte records, "
                       "little-endian).\nThe same arguments always give the same bytes.\n"
                       "\n"
                       "Exit codes: 0 written, 1 the file could not be written, 2 a bad command "
                       "line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption recordsOption({QStringLiteral("n"), QStringLiteral("records")},
                                           QStringLiteral("Records to write (default 1000000)."),
                                           QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption seedOption({QStringLiteral("s"), QStringLiteral("seed")},
                                        QStringLiteral("Random seed (default 1)."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption errorOption(
        QStringLiteral("error-share"),
        QStringLiteral("Share of erroneous picks, class 2 and above (default 0.05)."),
        QStringLiteral("f"), QStringLiteral("0.05"));
    const QCommandLineOption negativeOption(
        QStringLiteral("negative-share"),
        QStringLiteral("Share of picks with negative class codes (default 0.001)."),
        QStringLiteral("f"), QStringLiteral("0.001"));
    const QCommandLineOption maxOffsetOption(
        QStringLiteral("max-offset"),
        QStringLiteral("Receivers reach this many metres on both sides (default 3000)."),
        QStringLiteral("m"), QStringLiteral("3000"));
    const QCommandLineOption layersOption(
        QStringLiteral("layers"),
        QStringLiteral("A planted near-surface model instead of the default survey: 1 to 4 "
                       "layers as V1,V2:X2,..., velocities in m/s, each later layer from its "
                       "crossover offset X in m (e.g. 1800,3200:300,5500:1200)."),
        QStringLiteral("list"));
    const QCommandLineOption interceptOption(
        QStringLiteral("intercept"),
        QStringLiteral("The planted first layer's time at 0 m, ms (default 0)."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption noiseOption(
        QStringLiteral("noise"), QStringLiteral("Gaussian pick noise, ms (default 4)."),
        QStringLiteral("ms"), QStringLiteral("4"));
    const QCommandLineOption staticsOption(
        QStringLiteral("statics"),
        QStringLiteral("Per-shot statics, uniform within +-ms (default 20)."),
        QStringLiteral("ms"), QStringLiteral("20"));
    const QCommandLineOption wildOption(
        QStringLiteral("wild-share"),
        QStringLiteral("Share of picks of a correct class with wild times, from 150 ms early to "
                       "400 ms late (default 0)."),
        QStringLiteral("f"), QStringLiteral("0"));
    const QCommandLineOption countOption(QStringLiteral("header-count"),
                                         QStringLiteral("Forge the header's record count."),
                                         QStringLiteral("n"));
    const QCommandLineOption lowOption(QStringLiteral("header-offset-low"),
                                       QStringLiteral("Forge the header's lower offset bound."),
                                       QStringLiteral("n"));
    const QCommandLineOption highOption(QStringLiteral("header-offset-high"),
                                        QStringLiteral("Forge the header's upper offset bound."),
                                        QStringLiteral("n"));
    const QCommandLineOption quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("No progress line."));
    parser.addOptions({recordsOption, seedOption, errorOption, negativeOption, maxOffsetOption,
                       layersOption, interceptOption, noiseOption, staticsOption, wildOption,
                       countOption, lowOption, highOption, quietOption});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The FB file to write."),
                                 QStringLiteral("FILE"));

    if (!parser.parse(app.arguments()))
        return refuse(parser.errorText());
    if (CommandLine::answerHelpOrVersion(parser, help, version, QStringLiteral("fbgen")))
        return 0;

    const auto badValue = [&parser, &refuse](const QCommandLineOption &option) {
        return refuse(QStringLiteral("bad value \"%1\" for --%2")
                          .arg(parser.value(option), option.names().constLast()));
    };
    const qint64 i32min = std::numeric_limits<qint32>::min();
    const qint64 i32max = std::numeric_limits<qint32>::max();
    FBSynthOptions options;
    qint64 number = 0;
    if (!CommandLine::toInt(parser.value(recordsOption), 0, qint64(1) << 40, &options.records))
        return badValue(recordsOption);
    if (!CommandLine::toInt(parser.value(seedOption), 0, std::numeric_limits<qint64>::max(),
                            &number))
        return badValue(seedOption);
    options.seed = quint64(number);
    bool ok = false;
    options.errorShare = parser.value(errorOption).toDouble(&ok);
    if (!ok)
        return badValue(errorOption);
    options.negativeClassShare = parser.value(negativeOption).toDouble(&ok);
    if (!ok)
        return badValue(negativeOption);
    if (!CommandLine::toInt(parser.value(maxOffsetOption), 2, i32max, &number))
        return badValue(maxOffsetOption);
    options.maxOffset = int(number);
    const struct
    {
        const QCommandLineOption &option;
        double &value;
    } realValues[] = {{interceptOption, options.intercept},
                      {noiseOption, options.noise},
                      {staticsOption, options.staticAmplitude},
                      {wildOption, options.wildShare}};
    for (const auto &real : realValues) {
        real.value = parser.value(real.option).toDouble(&ok);
        if (!ok)
            return badValue(real.option);
    }
    if (parser.isSet(layersOption)) {
        const QStringList layers = parser.value(layersOption).split(',');
        for (int k = 0; k < layers.size(); ++k) {
            const QStringList parts = layers.at(k).split(':');
            FBSynthLayer layer;
            bool velocityOk = false, offsetOk = k == 0;
            layer.velocity = parts.first().toDouble(&velocityOk);
            if (parts.size() == 2 && k > 0)
                layer.fromOffset = parts.last().toDouble(&offsetOk);
            if (!velocityOk || !offsetOk || parts.size() != (k == 0 ? 1 : 2))
                return badValue(layersOption);
            options.layers.push_back(layer);
        }
    }
    const struct
    {
        const QCommandLineOption &option;
        bool &forge;
        qint32 &word;
    } forgedWords[] = {{countOption, options.forgeRecordCount, options.headerRecordCount},
                       {lowOption, options.forgeOffsetLow, options.headerOffsetLow},
                       {highOption, options.forgeOffsetHigh, options.headerOffsetHigh}};
    for (const auto &forged : forgedWords) {
        if (!parser.isSet(forged.option))
            continue;
        if (!CommandLine::toInt(parser.value(forged.option), i32min, i32max, &number))
            return badValue(forged.option);
        forged.forge = true;
        forged.word = qint32(number);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return refuse(QStringLiteral("no output file"));
    if (positional.size() > 1)
        return refuse(QStringLiteral("more than one output file"));
    const QString output = positional.first();
    const bool quiet = parser.isSet(quietOption);
    const QString invalid = FBSynth::validate(options);
    if (!invalid.isEmpty())
        return refuse(invalid);

    const bool showProgress = !quiet && options.records >= 1000000;
    const bool terminal = isatty(fileno(stderr));
    FBSynth::Progress progress;
    if (showProgress) {
        // A terminal gets one line rewritten in place; a log gets a line per tenth.
        progress = [terminal, lastTenth = -1](qint64 written, qint64 total) mutable {
            const int percent = total > 0 ? int(100 * written / total) : 100;
            if (!terminal && percent / 10 == lastTenth)
                return;
            lastTenth = percent / 10;
            std::fprintf(stderr,
                         terminal ? "\rfbgen: %3d%% (%lld of %lld records)"
                                  : "fbgen: %3d%% (%lld of %lld records)\n",
                         percent, static_cast<long long>(written), static_cast<long long>(total));
        };
    }
    QString error;
    const bool written = FBSynth::write(output, options, progress, &error);
    if (showProgress && terminal)
        std::fputc('\n', stderr);
    if (!written) {
        std::fprintf(stderr, "fbgen: cannot write %s: %s\n", qPrintable(output), qPrintable(error));
        return 1;
    }
    return 0;
}
