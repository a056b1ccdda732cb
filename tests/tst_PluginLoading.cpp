#include "KyGeneralPlugin.h"
#include "KyProjectManager.h"
#include "PluginRegistry.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// Loads the built plug-in the way the host does, to catch metadata, interface-identifier and
// export mistakes that unit tests compiled against the sources cannot see.
class tst_PluginLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void metadataAndInstance();
    void instanceIsSharedUntilDeleted();
    void eachActionOpensItsOwnDialog();
    void registryListsWhatItCannotLoad();
    void hostInstallsThePluginTranslation_data();
    void hostInstallsThePluginTranslation();
    void hostCommandLineNeedsNoDisplay_data();
    void hostCommandLineNeedsNoDisplay();

private:
    QString m_pluginFile;
};

void tst_PluginLoading::initTestCase()
{
    m_pluginFile =
        QDir(QStringLiteral(CROSSPLOT_PLUGIN_DIR)).filePath(QStringLiteral("libCrossPlot.so"));
    QVERIFY2(QFile::exists(m_pluginFile), qPrintable(m_pluginFile));
}

void tst_PluginLoading::cleanup()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets)
        delete widget;
}

void tst_PluginLoading::metadataAndInstance()
{
    QPluginLoader loader(m_pluginFile);
    const QJsonObject metaData = loader.metaData();
    QCOMPARE(metaData.value(QStringLiteral("IID")).toString(), QStringLiteral(KyGeneralPlugin_iid));
    QVERIFY(QStringLiteral(KyGeneralPlugin_iid).endsWith(QLatin1String("KyGeneralPlugin")));
    QCOMPARE(metaData.value(QStringLiteral("className")).toString(), QStringLiteral("CrossPlot"));
    // No metadata file: Qt 5.15's moc leaves the empty "MetaData" object out altogether, and
    // records only the major and minor version.
    QCOMPARE(metaData.value(QStringLiteral("MetaData")).toObject(), QJsonObject());
    QVERIFY(metaData.value(QStringLiteral("debug")).isBool());
    QCOMPARE(metaData.value(QStringLiteral("version")).toInt() >> 8, QT_VERSION >> 8);

    QObject *instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    auto *plugin = qobject_cast<KyGeneralPlugin *>(instance);
    QVERIFY(plugin);
    QCOMPARE(instance->qt_metacast(KyGeneralPlugin_iid), static_cast<void *>(plugin));
    QCOMPARE(plugin->name(), QStringLiteral("Offset-FB CrossPlot"));
    QCOMPARE(plugin->generalID(), 2);
    QVERIFY(plugin->needProject());
    QVERIFY(!QIcon(QStringLiteral(":/resource/images/logo.ico")).availableSizes().isEmpty());
}

void tst_PluginLoading::instanceIsSharedUntilDeleted()
{
    QPluginLoader first(m_pluginFile);
    QPluginLoader second(m_pluginFile);
    QObject *instance = first.instance();
    QVERIFY(instance);
    QCOMPARE(second.instance(), instance);
    QCOMPARE(first.instance(), instance);

    QPointer<QObject> guard(instance);
    delete instance;
    QVERIFY(guard.isNull());
    QObject *fresh = first.instance();
    QVERIFY(fresh);
    QVERIFY(qobject_cast<KyGeneralPlugin *>(fresh));
}

void tst_PluginLoading::eachActionOpensItsOwnDialog()
{
    QTemporaryDir project;
    QVERIFY(KyProjectManager::instance().openProject(project.path()));
    QPluginLoader loader(m_pluginFile);
    auto *plugin = qobject_cast<KyGeneralPlugin *>(loader.instance());
    QVERIFY(plugin);
    QScopedPointer<QAction> first(plugin->createAction()), second(plugin->createAction());
    QVERIFY(first && second && first.data() != second.data());
    QVERIFY(!first->parent() && !first->isCheckable());
    QCOMPARE(first->text(), plugin->name());
    // The checked argument of the trigger makes no difference.
    for (QAction *action : {first.data(), second.data(), first.data()})
        emit action->triggered(action == second.data());
    int dialogs = 0;
    for (const QWidget *widget : QApplication::topLevelWidgets())
        dialogs += widget->inherits("CrossPlotDialog") && widget->isVisible();
    QCOMPARE(dialogs, 3);
    KyProjectManager::instance().closeProject();
}

void tst_PluginLoading::registryListsWhatItCannotLoad()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(m_pluginFile, dir.filePath(QStringLiteral("libCrossPlot.so"))));
    QFile broken(dir.filePath(QStringLiteral("libBroken.so")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not an ELF file") > 0);
    broken.close();
    const QString foreign = QLibraryInfo::location(QLibraryInfo::PluginsPath) +
                            QStringLiteral("/platforms/libqoffscreen.so");
    QVERIFY(QFile::copy(foreign, dir.filePath(QStringLiteral("libForeign.so"))));

    PluginRegistry registry;
    registry.loadDirectory(dir.path());
    QCOMPARE(registry.plugins().size(), 1);
    QCOMPARE(registry.plugins().first()->name(), QStringLiteral("Offset-FB CrossPlot"));
    QCOMPARE(registry.failures().size(), 2);
    QCOMPARE(registry.failures().at(0).fileName, QStringLiteral("libBroken.so"));
    QVERIFY(!registry.failures().at(0).reason.isEmpty());
    QCOMPARE(registry.failures().at(1).fileName, QStringLiteral("libForeign.so"));
    QVERIFY(registry.failures().at(1).reason.contains(QLatin1String("another kind")));
}

void tst_PluginLoading::hostInstallsThePluginTranslation_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("cancel");
    QTest::newRow("Simplified Chinese") << "zh_CN" << QStringList{"CrossPlot_zh_CN"} << "取消";
    QTest::newRow("Russian, any country") << "ru_KZ" << QStringList{"CrossPlot_ru"} << "Отмена";
    QTest::newRow("German: no catalogue") << "de_DE" << QStringList() << "Cancel";
}

void tst_PluginLoading::hostInstallsThePluginTranslation()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, installed);
    QFETCH(QString, cancel);
    PluginRegistry registry;
    registry.loadDirectory(QStringLiteral(CROSSPLOT_PLUGIN_DIR));
    QCOMPARE(registry.installTranslators(QLocale(locale)), installed);
    QScopedPointer<QAction> action(registry.plugins().value(0)->createAction());
    action->trigger();
    QWidget *dialog = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        dialog = widget->inherits("CrossPlotDialog") ? widget : dialog;
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->text(), cancel);
}

void tst_PluginLoading::hostCommandLineNeedsNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("--help") << QStringList{"--help"} << 0
                            << "Print the plug-ins found and exit; needs no display."
                            << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "kyhost " CROSSPLOT_VERSION "\n"
                               << "";
    QTest::newRow("--list-plugins")
        << QStringList{"--list-plugins"} << 0 << "libCrossPlot.so: Offset-FB CrossPlot\n"
        << "";
    QTest::newRow("--list-plugins with Qt's own options")
        << QStringList{"-platform", "offscreen", "--list-plugins", "-style=fusion", "-reverse"} << 0
        << "libCrossPlot.so: Offset-FB CrossPlot\n"
        << "";
    QTest::newRow("empty plug-in folder")
        << QStringList{"--list-plugins", "--plugins", QDir::tempPath() + "/no-such-kyhost-dir"} << 1
        << ""
        << "kyhost: plug-in " + QDir::tempPath() +
               "/no-such-kyhost-dir not loaded: the plug-in directory does not exist\n";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                    << "kyhost: Unknown option 'bogus' (see kyhost --help)\n";
    QTest::newRow("stray argument")
        << QStringList{"project"} << 2 << ""
        << "kyhost: unexpected argument 'project' (see kyhost --help)\n";
}

void tst_PluginLoading::hostCommandLineNeedsNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    // As over ssh: no display and no platform chosen; a GUI application would abort here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(QStringLiteral(CROSSPLOT_BIN_DIR "/kyhost"), arguments);
    QVERIFY(host.waitForFinished(30000));
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(host.readAllStandardError()), err);
    const QString printed = QString::fromUtf8(host.readAllStandardOutput());
    QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.contains(out), qPrintable(printed));
    QCOMPARE(host.exitCode(), exitCode);
}

QTEST_MAIN(tst_PluginLoading)
#include "tst_PluginLoading.moc"
