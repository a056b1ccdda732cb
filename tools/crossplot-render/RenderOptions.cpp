#include "RenderOptions.h"

#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

int RenderOptions::parse(const QStringList &arguments)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Renders the offset-FB density crossplot of FB files to PNG, without a display.\n"
        "\n"
        "Exit codes:\n"
        "  0  every file was rendered\n"
        "  1  an image, the matrix or the output directory could not be written\n"
        "  2  a bad command line, or a file the parameter dialog would refuse\n"
        "  3  a crossplot that cannot be drawn within the memory of this machine\n"
        "Every file is tried. Within one file and across files, the exit code is 2 if any file\n"
        "gave bad input, else 1 if any write failed, else 3 if anything was refused, else 0."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Output PNG; with several files, a directory that receives one PNG per "
                       "file. Default: NAME.png in the current directory, or no PNG at all with "
                       "--stats or --matrix."),
        QStringLiteral("out"));
    const QCommandLineOption minOption(QStringLiteral("min-offset"),
                                       QStringLiteral("Lower offset limit, metres (default 0)."),
                                       QStringLiteral("m"), QStringLiteral("0"));
    const QCommandLineOption maxOption(
        QStringLiteral("max-offset"),
        QStringLiteral("Upper offset limit, metres; both limits 0: no limit (default 0)."),
        QStringLiteral("m"), QStringLiteral("0"));
    const QCommandLineOption typeOption(
        QStringLiteral("type"),
        QStringLiteral("FB type: correct, error or both (default correct)."),
        QStringLiteral("type"), QStringLiteral("correct"));
    const QCommandLineOption pointOption(QStringLiteral("point-size"),
                                         QStringLiteral("Density cell size 1..20 (default 4)."),
                                         QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption stopsOption(
        QStringLiteral("stops"),
        QStringLiteral("Cyan, green and yellow colour stops in percent (default 15,25,55)."),
        QStringLiteral("c,g,y"), QStringLiteral("15,25,55"));
    const QCommandLineOption backgroundOption(
        QStringLiteral("background"),
        QStringLiteral("Canvas colour item 0..3: white, light grey, sky blue, green (default 0)."),
        QStringLiteral("i"), QStringLiteral("0"));
    const QCommandLineOption windowOption(
        QStringLiteral("window"), QStringLiteral("Save the whole window instead of the plot."));
    const QCommandLineOption sizeOption(
        QStringLiteral("size"),
        QStringLiteral("Window size (default and minimum 922x700; a smaller size is raised to "
                       "the minimum, and said so)."),
        QStringLiteral("wxh"));
    const QCommandLineOption statsOption(
        QStringLiteral("stats"),
        QStringLiteral("Print the loading and density figures as JSON on standard output."));
    const QCommandLineOption matrixOption(
        QStringLiteral("matrix"),
        QStringLiteral("Write the density matrix as little-endian float64, row by row."),
        QStringLiteral("out.bin"));
    parser.addOptions({outputOption, minOption, maxOption, typeOption, pointOption, stopsOption,
                       backgroundOption, windowOption, sizeOption, statsOption, matrixOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("FB files to render."),
                                 QStringLiteral("FILE..."));

    const QString program = QStringLiteral("crossplot-render");
    if (!parser.parse(arguments))
        return CommandLine::refuse(program, parser.errorText());
    if (parser.isSet(help)) {
        // The options are read before the program knows which application it needs, but Qt's
        // help text takes the program's name from a running one.
        std::unique_ptr<QCoreApplication> app;
        static int argc = 1;
        static QByteArray name = arguments.value(0, program).toLocal8Bit();
        static char *argv[] = {name.data(), nullptr};
        if (!QCoreApplication::instance())
            app.reset(new QCoreApplication(argc, argv));
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(program), CROSSPLOT_VERSION);
        return 0;
    }

    const auto badValue = [&](const QCommandLineOption &option, const QString &expected) {
        return CommandLine::refuse(
            program, QStringLiteral("bad value \"%1\" for --%2: expected %3")
                         .arg(parser.value(option), option.names().constLast(), expected));
    };
    files = parser.positionalArguments();
    output = parser.value(outputOption);
    if (!CommandLine::toInt(parser.value(minOption), 0, 100000, &param.minOffset))
        return badValue(minOption, QStringLiteral("metres 0..100000"));
    if (!CommandLine::toInt(parser.value(maxOption), 0, 100000, &param.maxOffset))
        return badValue(maxOption, QStringLiteral("metres 0..100000"));
    const QString type = parser.value(typeOption);
    param.plotCorrectFB = type == QLatin1String("correct");
    param.plotErrorFB = type == QLatin1String("error");
    param.plotAllFB = type == QLatin1String("both");
    if (!param.plotCorrectFB && !param.plotErrorFB && !param.plotAllFB)
        return badValue(typeOption, QStringLiteral("correct, error or both"));
    if (!CommandLine::toInt(parser.value(pointOption), 1, 20, &param.pointSize))
        return badValue(pointOption, QStringLiteral("1..20"));
    const QStringList stops = parser.value(stopsOption).split(QLatin1Char(','));
    if (stops.size() != 3 || !CommandLine::toInt(stops.at(0), 0, 100, &cyan) ||
        !CommandLine::toInt(stops.at(1), 0, 100, &green) ||
        !CommandLine::toInt(stops.at(2), 0, 100, &yellow))
        return badValue(stopsOption, QStringLiteral("three percentages 0..100, as in 15,25,55"));
    if (!CommandLine::toInt(parser.value(backgroundOption), 0, 3, &background))
        return badValue(backgroundOption, QStringLiteral("0..3"));
    wholeWindow = parser.isSet(windowOption);
    if (parser.isSet(sizeOption)) {
        const QStringList parts = parser.value(sizeOption).split(QLatin1Char('x'));
        int width = 0;
        int height = 0;
        if (parts.size() != 2 || !CommandLine::toInt(parts.at(0), 1, 16384, &width) ||
            !CommandLine::toInt(parts.at(1), 1, 16384, &height))
            return badValue(sizeOption, QStringLiteral("WIDTHxHEIGHT, each 1..16384"));
        size = QSize(width, height);
    }
    stats = parser.isSet(statsOption);
    matrixFile = parser.value(matrixOption);
    if (files.isEmpty())
        return CommandLine::refuse(program, QStringLiteral("no FB file given"));
    if (files.size() > 1 && (stats || !matrixFile.isEmpty()))
        return CommandLine::refuse(program,
                                   QStringLiteral("--stats and --matrix take a single FB file"));
    return -1;
}
