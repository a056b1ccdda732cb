// make-demo-project: prepares, once, a project directory whose crossplot dialog already points
// at a synthetic FB file, so that a first OK shows a real crossplot.

#include "CommandLine.h"
#include "FBSynth.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));
    const auto refuse = [](const QString &message) {
        return CommandLine::refuse(QStringLiteral("make-demo-project"), message);
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prepares a demo project folder for kyhost: a synthetic survey of "
                       "1,000,000 picks (about 84 MB, written once) and the project values that "
                       "point the Offset-FB CrossPlot dialog at it.\n"
                       "Open it with: kyhost --project DIR\n"
                       "\n"
                       "Exit codes: 0 ready, 1 the folder or its files could not be written, 2 a "
                       "bad command line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("dir"),
                                 QStringLiteral("The project folder, made if it does not exist."),
                                 QStringLiteral("DIR"));
    // Whatever starts with '-' is an option, known or refused, never a folder name: "--help"
    // must not become a folder with a survey in it. A folder whose name starts with '-' is
    // given as ./-name.
    if (!parser.parse(app.arguments()))
        return refuse(parser.errorText());
    if (CommandLine::answerHelpOrVersion(parser, help, version, QStringLiteral("make-demo-project")))
        return 0;
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        return refuse(args.isEmpty() ? QStringLiteral("no project folder given")
                                     : QStringLiteral("one project folder only"));
    const QString directory = QDir(args.at(0)).absolutePath();
    const QString fbName = QDir(directory).filePath(QStringLiteral("demo-survey.fb"));
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "make-demo-project: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    if (!QFileInfo::exists(fbName)) {
        FBSynthOptions options;
        options.records = 1000000;
        options.seed = 2026;
        // Written under a temporary name so that an interrupted run is redone next time.
        const QString partial = fbName + QStringLiteral(".part");
        QString error;
        if (!FBSynth::write(partial, options, {}, &error) || !QFile::rename(partial, fbName)) {
            std::fprintf(stderr, "make-demo-project: cannot write %s: %s\n", qPrintable(fbName),
                         qPrintable(error));
            return 1;
        }
        std::printf("make-demo-project: wrote %s (1,000,000 picks)\n", qPrintable(fbName));
    }
    KyProjectManager &manager = KyProjectManager::instance();
    if (!manager.openProject(directory)) {
        std::fprintf(stderr, "make-demo-project: %s\n", qPrintable(manager.errorString()));
        return 1;
    }
    const QString key = QStringLiteral("CrossPlot_CrossPlotDialog_fbName");
    if (KyBaseUtil::projectValue(key).toString().isEmpty() &&
        !KyBaseUtil::setProjectValue(key, fbName)) {
        std::fprintf(stderr, "make-demo-project: cannot store the project values\n");
        return 1;
    }
    return 0;
}
