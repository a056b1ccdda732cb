#include "HostTranslators.h"
#include "HostWindow.h"
#include "KyBaseUtil.h"
#include "KyGeneralPlugin.h"
#include "KyProjectManager.h"
#include "PluginRegistry.h"
#include "TestSupport.h"

#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <qwt_scale_widget.h>

// Loads the built plug-in the way the host does, to catch metadata, interface-identifier and
// export mistakes that unit tests compiled against the sources cannot see.
class tst_PluginLoading : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qDeleteAll(QApplication::topLevelWidgets()); }

    void loadsAsTheHostDoes()
    {
        const QString library = CROSSPLOT_PLUGIN_DIR "/libCrossPlot.so";
        const QJsonObject meta = QPluginLoader(library).metaData();
        // The version records Qt's major and minor only.
        QCOMPARE(say(meta.value("IID").toString(), meta.value("className").toString(),
                     meta.value("MetaData").isObject(), meta.value("MetaData").toObject().size(),
                     meta.value("debug").isBool(),
                     meta.value("version").toInt() >> 8 == QT_VERSION >> 8),
                 "org.kyhost.KyPlugins/1.0/KyGeneralPlugin CrossPlot true 0 true true");
        // Qt's own reader wants the "MetaData" object and says so on stderr when it is missing.
        const ToolRun info = runTool(QT_TOOLS_DIR "/qtplugininfo", {"--full-json", library});
        QCOMPARE(say(info.exitCode, info.out.contains("\"MetaData\": {\n    }"), info.err),
                 "0 true");
        // And libraries beside it that the host lists with the reason it cannot load them.
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("libBroken.so"), "not an ELF file"));
        QVERIFY(QFile::copy(QLibraryInfo::location(QLibraryInfo::PluginsPath) +
                                "/platforms/libqoffscreen.so",
                            dir.filePath("libForeign.so")));
        PluginRegistry registry;
        registry.loadDirectory(CROSSPLOT_PLUGIN_DIR);
        registry.loadDirectory(dir.path());
        const auto failures = registry.failures();
        QCOMPARE(say(registry.plugins().size(), failures.size(), failures.value(0).fileName,
                     !failures.value(0).reason.isEmpty(), failures.value(1).fileName,
                     failures.value(1).reason.contains("another kind")),
                 "1 2 libBroken.so true libForeign.so true");
        KyGeneralPlugin *plugin = registry.plugins().value(0);
        QCOMPARE(say(plugin->name(), plugin->generalID(), plugin->needProject()),
                 "Offset-FB CrossPlot 2 true");
        QTemporaryDir project;
        QVERIFY(KyProjectManager::instance().openProject(project.path()));
        QScopedPointer<QAction> action(plugin->createAction());
        QCOMPARE(say(action->text(), action->parent() != nullptr, action->isCheckable()),
                 "Offset-FB CrossPlot false false");
        // Each trigger opens a dialog of its own; the checked argument makes no difference.
        QVERIFY(newTopLevel("CrossPlotDialog", [&action] { emit action->triggered(false); }) &&
                newTopLevel("CrossPlotDialog", [&action] { emit action->triggered(true); }));
        KyProjectManager::instance().closeProject();
    }

    void userLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        // The plug-in's catalogue installed | the host's title, each menu with its entries, the
        // text in the middle of its window | the dialog's Cancel, captions and radio buttons |
        // the crossplot window's Reset, point size caption, type label and its axes' titles,
        // left, right, bottom.
        QTest::addColumn<QString>("expected");
        QTest::newRow("Simplified Chinese")
            << "zh_CN"
            << "CrossPlot_zh_CN | KyHost | 工区(&P) 打开(&O)... 关闭(&C) 退出(&Q) | 工具(&T) "
               "Offset-FB CrossPlot | 帮助(&H) 插件(&P)... | 请先打开工区（“工区” > "
               "“打开...”），再从“工具”菜单中选择工具。 | 取消 初至文件： 炮检距范围： 错误初至 "
               "全部 | 重置 点大小： 正确 初至时间 (ms) 初至密度 炮检距 (m)";
        QTest::newRow("Russian, any country")
            << "ru_KZ"
            << "CrossPlot_ru | KyHost | &Проект &Открыть... &Закрыть В&ыход | &Инструменты "
               "Offset-FB CrossPlot | &Справка &Модули... | Откройте проект («Проект» > "
               "«Открыть...»), затем выберите инструмент в меню «Инструменты». | Отмена Файл "
               "пикировок: Диапазон удалений: Ошибочные Все | Сброс Размер точки: Правильные "
               "Время первых вступлений, мс Плотность вступлений Удаление, м";
        QTest::newRow("German: no catalogue")
            << "de_DE"
            << "| KyHost | &Project &Open... &Close &Quit | &Tools Offset-FB CrossPlot | &Help "
               "&Plug-ins... | Open a project (Project > Open...), then choose a tool from the "
               "Tools menu. | Cancel FB file: Plot offset range: Error FB Both | Reset Point "
               "size: Correct FB Time (ms) FB Density Offset (m)";
    }

    void userLanguage()
    {
        QFETCH(QString, locale);
        KyProjectManager::instance().closeProject();
        HostTranslators::install(*qApp, QLocale(locale));
        PluginRegistry registry;
        registry.loadDirectory(CROSSPLOT_PLUGIN_DIR);
        QStringList seen{registry.installTranslators(QLocale(locale)).join(' '), "|"};
        {
            HostWindow window(registry);
            seen << window.windowTitle();
            for (QAction *menu : window.menuBar()->actions()) {
                seen << "|" << menu->text();
                for (QAction *entry : menu->menu()->actions())
                    seen << entry->text();
            }
            seen << "|" << window.centralWidget()->property("text").toString() << "|";
        }
        QTemporaryDir project;
        QVERIFY(KyProjectManager::instance().openProject(project.path()));
        QVERIFY(writeFile(project.filePath("survey.fb"), fbBytes(0, 3000, {{1000, 400.0f, 0}})));
        KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_fbName",
                                    project.filePath("survey.fb"));
        QScopedPointer<QAction> action(registry.plugins().value(0)->createAction());
        QWidget *dialog = newTopLevel("CrossPlotDialog", [&action] { action->trigger(); });
        QWidget *window = newTopLevel("CrossPlotMap", [dialog] {
            QTest::mouseClick(dialog->findChild<QWidget *>("okButton"), Qt::LeftButton);
        });
        QVERIFY(window);
        for (const char *name : {"cancelButton", "label", "label_2", "plotErrorFB", "plotAllFB"})
            seen << dialog->findChild<QWidget *>(name)->property("text").toString();
        seen << "|";
        for (const char *name : {"resetColorSetting", "label_6", "forTypeLabel"})
            seen << window->findChild<QWidget *>(name)->property("text").toString();
        for (const QwtScaleWidget *axis : window->findChildren<QwtScaleWidget *>())
            seen << axis->title().text(); // left, right, the blank top, bottom
        qDeleteAll(qApp->findChildren<QTranslator *>());
        QTEST(seen.join(' ').simplified(), "expected");
    }

    void hostCatalogueCoversTheCode_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList tsFiles =
            QDir(CROSSPLOT_SOURCE_DIR "/translations").entryList({"kyhost_*.ts"}, QDir::Files);
        QVERIFY(tsFiles.size() >= 2);
        for (const QString &file : tsFiles)
            QTest::newRow(qPrintable(file)) << QFileInfo(file).completeBaseName();
    }

    void hostCatalogueCoversTheCode()
    {
        QFETCH(QString, name);
        checkCatalogue(CROSSPLOT_SOURCE_DIR "/translations/" + name + ".ts",
                       {CROSSPLOT_SOURCE_DIR "/host"}, ":/kyhost/translations/" + name + ".qm");
    }

    // The host's and the demo maker's command lines, in the user's language (C: English), as
    // over ssh: no display and no platform chosen, where a GUI application would abort.
    void commandLines_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("locale");
        toolColumns();
        const auto row = [](const char *name, const char *tool, const char *locale,
                            const QString &arguments, int exitCode, const QString &output) {
            QTest::newRow(name) << tool << locale << arguments << exitCode << output;
        };
        const QString noDir = QDir::tempPath() + "/no-such-kyhost-dir";
        row("--help", "kyhost", "C", "--help", 0,
            "Print the plug-ins found and exit; needs no display.");
        row("--version", "kyhost", "C", "--version", 0, "kyhost " CROSSPLOT_VERSION "\n");
        row("--list-plugins with Qt's own options", "kyhost", "C",
            "-platform offscreen --list-plugins -style=fusion -reverse", 0,
            "libCrossPlot.so: Offset-FB CrossPlot\n");
        row("empty plug-in folder", "kyhost", "C", "--list-plugins --plugins " + noDir, 1,
            "kyhost: plug-in " + noDir + " not loaded: the plug-in directory does not exist\n");
        row("unknown option", "kyhost", "C", "--bogus", 2,
            "kyhost: Unknown option 'bogus' (see kyhost --help)");
        row("stray argument", "kyhost", "C", "project", 2,
            "kyhost: unexpected argument 'project' (see kyhost --help)");
        row("Russian --help", "kyhost", "ru_RU", "--help", 0,
            "Использование: " + QString(CROSSPLOT_BIN_DIR) +
                "/kyhost [параметры]\nЗамещающее хост-приложение для общих модулей.\n");
        row("Russian option texts", "kyhost", "ru_RU", "--help", 0,
            "  --list-plugins   Вывести найденные модули и выйти; дисплей не нужен.\n");
        row("Chinese unknown option, no full stop", "kyhost", "zh_CN", "--bogus", 2,
            "kyhost: 未知选项“bogus”（参见 kyhost --help）\n");
        row("Russian of any country, plug-in folder missing", "kyhost", "ru_KZ",
            "--list-plugins --plugins /no-such-kyhost-dir", 1,
            "kyhost: модуль /no-such-kyhost-dir не загружен: каталог модулей не существует\n");
        row("English", "kyhost", "en_GB", "--help", 0,
            "Options:\n  -h, --help       Displays help");
        row("demo --help", "make-demo-project", "C", "--help", 0,
            "Exit codes: 0 ready, 1 the folder or its files could not");
        row("demo --version", "make-demo-project", "C", "--version", 0,
            "make-demo-project " CROSSPLOT_VERSION "\n");
        row("demo unknown option", "make-demo-project", "C", "--size 10 demo", 2,
            "make-demo-project: Unknown option 'size' (see make-demo-project --help)\n");
        row("demo without a folder", "make-demo-project", "C", "", 2,
            "make-demo-project: no project folder given (see make-demo-project --help)\n");
        row("demo of two folders", "make-demo-project", "C", "one two", 2,
            "make-demo-project: one project folder only (see make-demo-project --help)\n");
    }

    void commandLines()
    {
        QFETCH(QString, tool);
        QFETCH(QString, locale);
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            qunsetenv(name);
        qputenv("LC_ALL", (locale + ".UTF-8").toLatin1());
        // None of these may write anything: no folder named after an option, no survey.
        QTemporaryDir dir;
        checkToolRow(tool, dir.path());
        qputenv("LC_ALL", "C.UTF-8");
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {});
    }
};

QTEST_MAIN(tst_PluginLoading)
#include "tst_PluginLoading.moc"
