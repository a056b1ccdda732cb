// make-demo-project: prepares, once, a project directory whose crossplot dialog already points
// at a synthetic FB file, so that a first OK shows a real crossplot.

#include "FBSynth.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make-demo-project DIR\n");
        return 2;
    }
    const QString directory = QDir(args.at(1)).absolutePath();
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
