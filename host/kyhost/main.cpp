#include "HostTranslators.h"
#include "HostWindow.h"
#include "KyGeneralPlugin.h"
#include "KyProjectManager.h"
#include "PluginRegistry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <cstdio>

namespace {

QString besideExecutable(const char *relativePath)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(relativePath));
}

// The options that QApplication takes out of the command line itself (-platform offscreen,
// -style fusion, ...). The core application that reads ours first knows none of them, so they
// are set aside here and left to the GUI application.
QStringList withoutGuiOptions(const QStringList &arguments)
{
    static const QStringList withValue{"-platform",
                                       "-platformpluginpath",
                                       "-platformtheme",
                                       "-plugin",
                                       "-qwindowgeometry",
                                       "-qwindowtitle",
                                       "-qwindowicon",
                                       "-display",
                                       "-geometry",
                                       "-title",
                                       "-name",
                                       "-style",
                                       "-stylesheet",
                                       "-session",
                                       "-visual",
                                       "-ncols",
                                       "-cmap"};
    static const QStringList alone{"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (i > 0 && alone.contains(argument))
            continue;
        if (i > 0 && withValue.contains(name)) {
            i += name == argument ? 1 : 0; // "-style fusion" or "-style=fusion"
            continue;
        }
        kept << argument;
    }
    return kept;
}

struct HostOptions
{
    QString project;
    QString plugins;
    bool listPlugins = false;
};

// Returns -1 to go on, else the exit code after printing the help, the version or the error.
int parseOptions(const QCoreApplication &app, HostOptions *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate(
            "kyhost",
            "Stand-in host application for general plug-ins.\n"
            "Plug-ins are loaded from %1 relative to the program's directory unless --plugins "
            "is given.\n"
            "\n"
            "Exit codes: 0 success, 1 --list-plugins found no plug-in, 2 a bad command line.")
            .arg(QStringLiteral(KYHOST_PLUGIN_RELDIR)));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // The value names stay English in every language: they are what the descriptions refer to.
    const QCommandLineOption projectOption(
        QStringLiteral("project"),
        QCoreApplication::translate("kyhost", "Open the project directory <dir>."),
        QStringLiteral("dir"));
    const QCommandLineOption pluginsOption(
        QStringLiteral("plugins"),
        QCoreApplication::translate("kyhost", "Load plug-ins from <dir>."), QStringLiteral("dir"));
    const QCommandLineOption listOption(
        QStringLiteral("list-plugins"),
        QCoreApplication::translate("kyhost",
                                    "Print the plug-ins found and exit; needs no display."));
    parser.addOptions({projectOption, pluginsOption, listOption});
    if (!parser.parse(withoutGuiOptions(app.arguments()))) {
        QString error = parser.errorText();
        // As the other messages: no full stop, nor the ideographic one of a translation.
        if (error.endsWith(QLatin1Char('.')) || error.endsWith(QChar(0x3002)))
            error.chop(1);
        std::fprintf(
            stderr, "kyhost: %s\n",
            qPrintable(QCoreApplication::translate("kyhost", "%1 (see kyhost --help)").arg(error)));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kyhost: %s\n",
                     qPrintable(QCoreApplication::translate(
                                    "kyhost", "unexpected argument '%1' (see kyhost --help)")
                                    .arg(parser.positionalArguments().first())));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kyhost %s\n", CROSSPLOT_VERSION);
        return 0;
    }
    options->project = parser.value(projectOption);
    options->plugins = parser.value(pluginsOption);
    options->listPlugins = parser.isSet(listOption);
    return -1;
}

void loadPlugins(PluginRegistry &registry, const HostOptions &options)
{
    registry.loadDirectory(options.plugins.isEmpty() ? besideExecutable(KYHOST_PLUGIN_RELDIR)
                                                     : options.plugins);
    for (const PluginRegistry::Failure &failure : registry.failures())
        std::fprintf(stderr, "kyhost: %s\n",
                     qPrintable(QCoreApplication::translate("kyhost", "plug-in %1 not loaded: %2")
                                    .arg(failure.fileName, failure.reason)));
    registry.installTranslators(QLocale());
}

} // namespace

int main(int argc, char *argv[])
{
    // Whether a window is needed at all is known only from the options, and a GUI application
    // aborts where no display can be opened (over ssh, in CI): read them under a core
    // application first, and list the plug-ins there too.
    HostOptions options;
    {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kyhost"));
        QCoreApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));
        HostTranslators::install(core, QLocale());
        const int exitCode = parseOptions(core, &options);
        if (exitCode >= 0)
            return exitCode;
        if (options.listPlugins) {
            PluginRegistry registry;
            loadPlugins(registry, options);
            for (int i = 0; i < registry.plugins().size(); ++i)
                std::printf("%s: %s\n", qPrintable(registry.pluginFiles().at(i)),
                            qPrintable(registry.plugins().at(i)->name()));
            return registry.plugins().isEmpty() ? 1 : 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kyhost"));
    QApplication::setApplicationVersion(QStringLiteral(CROSSPLOT_VERSION));
    HostTranslators::install(app, QLocale());

    // The plug-ins' translators go in before the window asks them for their actions, so that
    // the menus come up in the user's language.
    PluginRegistry registry;
    loadPlugins(registry, options);

    HostWindow window(registry);
    window.show();

    if (!options.project.isEmpty()) {
        KyProjectManager &manager = KyProjectManager::instance();
        if (!manager.openProject(options.project)) {
            std::fprintf(stderr, "kyhost: %s\n", qPrintable(manager.errorString()));
            // Said without blocking: the host keeps running with no project open.
            auto *box = new QMessageBox(QMessageBox::Warning, HostWindow::tr("Open project"),
                                        manager.errorString(), QMessageBox::Ok, &window);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
    }
    return app.exec();
}
