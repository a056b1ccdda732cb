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
        const QJsonObject meta = QPluginLoader(CROSSPLOT_PLUGIN_DIR "/libCrossPlot.so").metaData();
        // Qt 5.15's moc leaves the empty "MetaData" object out and records major and minor.
        QCOMPARE(say(meta.value("IID").toString(), meta.value("className").toString(),
                     meta.value("MetaData").toObject().size(), meta.value("debug").isBool(),
                     meta.value("version").toInt() >> 8 == QT_VERSION >> 8),
                 "org.kyhost.KyPlugins/1.0/KyGeneralPlugin CrossPlot 0 true true");
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

    void hostShowsThePluginInItsLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        // The catalogue installed | the dialog's Cancel, captions and radio buttons | the window's
        // Reset, point size caption, type label and the titles of its axes, left, right, bottom.
        QTest::addColumn<QString>("expected");
        QTest::newRow("Simplified Chinese")
            << QString("zh_CN")
            << QString("CrossPlot_zh_CN | 取消 初至文件： 炮检距范围： 错误初至 全部 | 重置 "
                       "点大小： 正确 初至时间 (ms) 初至密度 炮检距 (m)");
        QTest::newRow("Russian, any country")
            << QString("ru_KZ")
            << QString("CrossPlot_ru | Отмена Файл пикировок: Диапазон удалений: Ошибочные Все | "
                       "Сброс Размер точки: Правильные Время первых вступлений, мс Плотность "
                       "вступлений Удаление, м");
        QTest::newRow("German: no catalogue")
            << QString("de_DE")
            << QString("| Cancel FB file: Plot offset range: Error FB Both | Reset Point size: "
                       "Correct FB Time (ms) FB Density Offset (m)");
    }

    void hostShowsThePluginInItsLanguage()
    {
        QFETCH(QString, locale);
        QTemporaryDir project;
        QVERIFY(KyProjectManager::instance().openProject(project.path()));
        QVERIFY(writeFile(project.filePath("survey.fb"), fbBytes(0, 3000, {{1000, 400.0f, 0}})));
        KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_fbName",
                                    project.filePath("survey.fb"));
        PluginRegistry registry;
        registry.loadDirectory(CROSSPLOT_PLUGIN_DIR);
        QStringList seen{registry.installTranslators(QLocale(locale)).join(' '), "|"};
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
        QTEST(seen.join(QLatin1Char(' ')).simplified(), "expected");
    }

    void hostCommandLineNeedsNoDisplay_data()
    {
        toolColumns();
        const QString noDir = QDir::tempPath() + "/no-such-kyhost-dir";
        toolRow("--help", "--help", 0, "Print the plug-ins found and exit; needs no display.");
        toolRow("--version", "--version", 0, "kyhost " CROSSPLOT_VERSION "\n");
        toolRow("--list-plugins with Qt's own options",
                "-platform offscreen --list-plugins -style=fusion -reverse", 0,
                "libCrossPlot.so: Offset-FB CrossPlot\n");
        toolRow("empty plug-in folder", "--list-plugins --plugins " + noDir, 1,
                "kyhost: plug-in " + noDir + " not loaded: the plug-in directory does not exist\n");
        toolRow("unknown option", "--bogus", 2,
                "kyhost: Unknown option 'bogus' (see kyhost --help)");
        toolRow("stray argument", "project", 2,
                "kyhost: unexpected argument 'project' (see kyhost --help)");
    }

    void hostCommandLineNeedsNoDisplay()
    {
        // As over ssh: no display and no platform chosen; a GUI application would abort here.
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            qunsetenv(name);
        checkToolRow("kyhost", QDir::tempPath());
    }
};

QTEST_MAIN(tst_PluginLoading)
#include "tst_PluginLoading.moc"
