#include "RenderOptions.h"

namespace {

bool toInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

} // namespace

const char *RenderOptions::usage()
{
    return "usage: crossplot-render FILE... [-o OUT.png] [--min-offset M] [--max-offset M]\n"
           "           [--type correct|error|both] [--point-size N] [--stops C,G,Y]\n"
           "           [--background 0-3] [--window] [--size WxH] [--stats] [--matrix OUT.bin]\n"
           "Renders the offset-FB density crossplot of FB files to PNG without a display.\n"
           "\n"
           "  -o OUT                 output PNG; with several files, a directory that receives\n"
           "                         one PNG per file (default: NAME.png in the current\n"
           "                         directory, or no PNG at all with --stats or --matrix)\n"
           "  --min-offset M         lower offset limit, metres (default 0)\n"
           "  --max-offset M         upper offset limit, metres; both 0: no limit (default 0)\n"
           "  --type T               correct, error or both (default correct)\n"
           "  --point-size N         density cell size 1..20 (default 4)\n"
           "  --stops C,G,Y          cyan, green and yellow stops in percent (default 15,25,55)\n"
           "  --background I         canvas colour item 0..3 (default 0, white)\n"
           "  --window               save the whole window instead of the plot\n"
           "  --size WxH             window size (default and minimum 922x700)\n"
           "  --stats                print the loading and density figures as JSON on stdout\n"
           "  --matrix OUT.bin       write the density matrix as little-endian float64, row by "
           "row\n";
}

bool RenderOptions::parse(const QStringList &arguments, QString *error)
{
    auto fail = [error](const QString &message) {
        *error = message;
        return false;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i);
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            files << arg;
            continue;
        }
        if (arg == QLatin1String("--window")) {
            wholeWindow = true;
            continue;
        }
        if (arg == QLatin1String("--stats")) {
            stats = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return fail(QStringLiteral("%1 needs a value").arg(arg));
        const QString value = arguments.at(++i);
        bool ok = true;
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            output = value;
        } else if (arg == QLatin1String("--min-offset")) {
            ok = toInt(value, 0, 100000, &param.minOffset);
        } else if (arg == QLatin1String("--max-offset")) {
            ok = toInt(value, 0, 100000, &param.maxOffset);
        } else if (arg == QLatin1String("--type")) {
            param.plotCorrectFB = value == QLatin1String("correct");
            param.plotErrorFB = value == QLatin1String("error");
            param.plotAllFB = value == QLatin1String("both");
            ok = param.plotCorrectFB || param.plotErrorFB || param.plotAllFB;
        } else if (arg == QLatin1String("--point-size")) {
            ok = toInt(value, 1, 20, &param.pointSize);
        } else if (arg == QLatin1String("--stops")) {
            const QStringList parts = value.split(QLatin1Char(','));
            ok = parts.size() == 3 && toInt(parts.at(0), 0, 100, &cyan) &&
                 toInt(parts.at(1), 0, 100, &green) && toInt(parts.at(2), 0, 100, &yellow);
        } else if (arg == QLatin1String("--background")) {
            ok = toInt(value, 0, 3, &background);
        } else if (arg == QLatin1String("--size")) {
            const QStringList parts = value.split(QLatin1Char('x'));
            int width = 0;
            int height = 0;
            ok = parts.size() == 2 && toInt(parts.at(0), 1, 16384, &width) &&
                 toInt(parts.at(1), 1, 16384, &height);
            size = QSize(width, height);
        } else if (arg == QLatin1String("--matrix")) {
            matrixFile = value;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        }
        if (!ok)
            return fail(QStringLiteral("bad value \"%1\" for %2").arg(value, arg));
    }
    if (files.isEmpty())
        return fail(QStringLiteral("no FB file given"));
    if (files.size() > 1 && (stats || !matrixFile.isEmpty()))
        return fail(QStringLiteral("--stats and --matrix take a single FB file"));
    return true;
}
