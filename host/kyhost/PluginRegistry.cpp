#include "PluginRegistry.h"

#include "KyGeneralPlugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QTranslator>

namespace {

// The catalogue's base name (CrossPlot_ru for ru_KZ). QTranslator tells the file it loaded only
// from Qt 5.15 on; before that the name is found again the way load() looked for it: each of the
// locale's UI languages, then that name cut at each '_' from the right.
QString loadedCatalogue(const QTranslator &translator, const QLocale &locale, const QString &name)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    Q_UNUSED(locale);
    Q_UNUSED(name);
    return QFileInfo(translator.filePath()).completeBaseName();
#else
    Q_UNUSED(translator);
    const QString directory = QStringLiteral(":/resource/translations/");
    for (QString language : locale.uiLanguages()) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        for (;;) {
            const QString candidate = name + QLatin1Char('_') + language;
            if (QFileInfo::exists(directory + candidate + QStringLiteral(".qm")))
                return candidate;
            const int cut = language.lastIndexOf(QLatin1Char('_'));
            if (cut < 0)
                break;
            language.truncate(cut);
        }
    }
    return name;
#endif
}

} // namespace

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
            installed << loadedCatalogue(*translator, locale, name);
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
        m_failures.append({directory, tr("the plug-in directory does not exist")});
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
            const QString reason = loader.isLoaded() ? tr("not a Qt plug-in (no plug-in metadata)")
                                                     : loader.errorString();
            if (loader.isLoaded())
                loader.unload();
            m_failures.append({entry, reason});
            continue;
        }
        if (iid != QLatin1String(KyGeneralPlugin_iid)) {
            m_failures.append({entry, tr("plug-in of another kind (IID \"%1\")").arg(iid)});
            continue;
        }
        QObject *instance = loader.instance();
        auto *plugin = qobject_cast<KyGeneralPlugin *>(instance);
        if (!plugin) {
            m_failures.append({entry, instance ? tr("the plug-in object is not a "
                                                    "KyGeneralPlugin")
                                               : loader.errorString()});
            continue;
        }
        m_plugins.append(plugin);
        m_files.append(entry);
    }
}
