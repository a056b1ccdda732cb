#include "PluginRegistry.h"

#include "KyGeneralPlugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QTranslator>

PluginRegistry::PluginRegistry() = default;

PluginRegistry::~PluginRegistry()
{
    qDeleteAll(m_translators);
}

QStringList PluginRegistry::installTranslators(const QLocale &locale)
{
    QStringList installed;
    for (const QString &file : qAsConst(m_files)) {
        // libCrossPlot.so -> CrossPlot: the name the plug-in's catalogues carry.
        QString name = QFileInfo(file).completeBaseName();
        if (name.startsWith(QLatin1String("lib")))
            name.remove(0, 3);
        auto *translator = new QTranslator;
        if (translator->load(locale, name, QStringLiteral("_"),
                             QStringLiteral(":/resource/translations"))) {
            QCoreApplication::installTranslator(translator);
            m_translators.append(translator);
            installed << QFileInfo(translator->filePath()).completeBaseName();
        } else {
            delete translator;
        }
    }
    return installed;
}

void PluginRegistry::loadDirectory(const QString &directory)
{
    m_directory = directory;
    const QDir dir(directory);
    if (!dir.exists()) {
        m_failures.append({directory, QObject::tr("the plug-in directory does not exist")});
        return;
    }
    const QStringList entries = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &entry : entries) {
        const QString path = dir.absoluteFilePath(entry);
        if (!QLibrary::isLibrary(path))
            continue;
        QPluginLoader loader(path);
        const QString iid = loader.metaData().value(QStringLiteral("IID")).toString();
        if (iid.isEmpty()) {
            // No metadata: either not a Qt plug-in at all or one that cannot be loaded; load()
            // tells which, in the loader's own words.
            loader.load();
            const QString reason = loader.isLoaded()
                                       ? QObject::tr("not a Qt plug-in (no plug-in metadata)")
                                       : loader.errorString();
            if (loader.isLoaded())
                loader.unload();
            m_failures.append({entry, reason});
            continue;
        }
        if (iid != QLatin1String(KyGeneralPlugin_iid)) {
            m_failures.append(
                {entry, QObject::tr("plug-in of another kind (IID \"%1\")").arg(iid)});
            continue;
        }
        QObject *instance = loader.instance();
        auto *plugin = qobject_cast<KyGeneralPlugin *>(instance);
        if (!plugin) {
            m_failures.append({entry, instance ? QObject::tr("the plug-in object is not a "
                                                             "KyGeneralPlugin")
                                               : loader.errorString()});
            continue;
        }
        m_plugins.append(plugin);
        m_files.append(entry);
    }
}
