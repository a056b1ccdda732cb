// fbgen: writes a synthetic FB pick file of a refraction survey.

#include "FBSynth.h"

#include <QStringList>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace {

const char Usage[] =
    "usage: fbgen [options] OUTPUT\n"
    "Writes a synthetic FB pick file (16-byte header, 84-byte records, little-endian).\n"
    "\n"
    "  -n, --records N              records to write (default 1000000)\n"
    "  -s, --seed N                 random seed; equal arguments give equal bytes (default 1)\n"
    "      --error-share F          share of erroneous picks, class 2 and above (default 0.05)\n"
    "      --negative-share F       share of picks with negative class codes (default 0.001)\n"
    "      --max-offset M           receivers reach M metres on both sides (default 3000)\n"
    "      --header-count N         forge the header's record count\n"
    "      --header-offset-low N    forge the header's lower offset bound\n"
    "      --header-offset-high N   forge the header's upper offset bound\n"
    "  -q, --quiet                  no progress line\n"
    "  -h, --help                   this text\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "fbgen: %s\n%s", qPrintable(message), Usage);
    return 2;
}

bool parseInteger(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 parsed = text.toLongLong(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    FBSynthOptions options;
    QString output;
    bool quiet = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
            quiet = true;
            continue;
        }
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (!output.isEmpty())
                return usageError(QStringLiteral("more than one output file"));
            output = arg;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(QStringLiteral("%1 needs a value").arg(arg));
        const QString value = args.at(++i);
        qint64 number = 0;
        const qint64 i32min = std::numeric_limits<qint32>::min();
        const qint64 i32max = std::numeric_limits<qint32>::max();
        bool ok = true;
        if (arg == QLatin1String("-n") || arg == QLatin1String("--records")) {
            ok = parseInteger(value, 0, qint64(1) << 40, &options.records);
        } else if (arg == QLatin1String("-s") || arg == QLatin1String("--seed")) {
            ok = parseInteger(value, 0, std::numeric_limits<qint64>::max(), &number);
            options.seed = quint64(number);
        } else if (arg == QLatin1String("--error-share")) {
            options.errorShare = value.toDouble(&ok);
        } else if (arg == QLatin1String("--negative-share")) {
            options.negativeClassShare = value.toDouble(&ok);
        } else if (arg == QLatin1String("--max-offset")) {
            ok = parseInteger(value, 2, i32max, &number);
            options.maxOffset = int(number);
        } else if (arg == QLatin1String("--header-count")) {
            ok = parseInteger(value, i32min, i32max, &number);
            options.forgeRecordCount = true;
            options.headerRecordCount = qint32(number);
        } else if (arg == QLatin1String("--header-offset-low")) {
            ok = parseInteger(value, i32min, i32max, &number);
            options.forgeOffsetLow = true;
            options.headerOffsetLow = qint32(number);
        } else if (arg == QLatin1String("--header-offset-high")) {
            ok = parseInteger(value, i32min, i32max, &number);
            options.forgeOffsetHigh = true;
            options.headerOffsetHigh = qint32(number);
        } else {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        }
        if (!ok)
            return usageError(QStringLiteral("bad value \"%1\" for %2").arg(value, arg));
    }
    if (output.isEmpty())
        return usageError(QStringLiteral("no output file"));
    const QString invalid = FBSynth::validate(options);
    if (!invalid.isEmpty())
        return usageError(invalid);

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
    const bool ok = FBSynth::write(output, options, progress, &error);
    if (showProgress && terminal)
        std::fputc('\n', stderr);
    if (!ok) {
        std::fprintf(stderr, "fbgen: cannot write %s: %s\n", qPrintable(output), qPrintable(error));
        return 1;
    }
    return 0;
}
