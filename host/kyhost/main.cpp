#include "HostWindow.h"
#include "KyGeneralPlugin.h"
#include "KyProjectManager.h"
#include "PluginRegistry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>

namespace {

QString besideExecutable(const char *relativePath)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(relativePath));
}

void installTranslators(QApplication &app)
{
    const QLocale locale;
    auto *qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTranslator);
    auto *hostTranslator = new QTranslator(&app);
    if (hostTranslator->load(locale, QStringLiteral("kyhost"), QStringLiteral("_"),
                             besideExecutable(KYHOST_TRANSLATION_RELDIR)))
        app.installTranslator(hostTranslator);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kyhost"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stand-in host application for general plug-ins."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption projectOption(QStringLiteral("project"),
                                           QStringLiteral("Open the project directory <dir>."),
                                           QStringLiteral("dir"));
    const QCommandLineOption pluginsOption(QStringLiteral("plugins"),
                                           QStringLiteral("Load plug-ins from <dir>."),
                                           QStringLiteral("dir"));
    const QCommandLineOption listOption(QStringLiteral("list-plugins"),
                                        QStringLiteral("Print the plug-ins found and exit."));
    parser.addOption(projectOption);
    parser.addOption(pluginsOption);
    parser.addOption(listOption);
    parser.process(app);

    installTranslators(app);

    PluginRegistry registry;
    registry.loadDirectory(parser.isSet(pluginsOption) ? parser.value(pluginsOption)
                                                       : besideExecutable(KYHOST_PLUGIN_RELDIR));
    for (const PluginRegistry::Failure &failure : registry.failures())
        std::fprintf(stderr, "kyhost: plug-in %s not loaded: %s\n", qPrintable(failure.fileName),
                     qPrintable(failure.reason));

    if (parser.isSet(listOption)) {
        for (int i = 0; i < registry.plugins().size(); ++i)
            std::printf("%s: %s\n", qPrintable(registry.pluginFiles().at(i)),
                        qPrintable(registry.plugins().at(i)->name()));
        return registry.plugins().isEmpty() ? 1 : 0;
    }

    HostWindow window(registry);
    window.show();

    if (parser.isSet(projectOption)) {
        KyProjectManager &manager = KyProjectManager::instance();
        if (!manager.openProject(parser.value(projectOption))) {
            std::fprintf(stderr, "kyhost: %s\n", qPrintable(manager.errorString()));
            // Said without blocking: the host keeps running with no project open.
            auto *box = new QMessageBox(QMessageBox::Warning, QObject::tr("Open project"),
                                        manager.errorString(), QMessageBox::Ok, &window);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
    }
    return app.exec();
}
