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

QTEST_MAIN(tst_PluginLoading)
#include "tst_PluginLoading.moc"
