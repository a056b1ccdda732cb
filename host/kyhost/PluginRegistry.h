#pragma once

#include <QCoreApplication>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

class KyGeneralPlugin;
class QTranslator;

// Loads every library of one directory and keeps the general plug-ins among them. Libraries
// that fail, or that are plug-ins of another kind, are remembered with the reason.
class PluginRegistry
{
    Q_DECLARE_TR_FUNCTIONS(PluginRegistry)

public:
    struct Failure
    {
        QString fileName;
        QString reason;
    };

    PluginRegistry();
    ~PluginRegistry();
    PluginRegistry(const PluginRegistry &) = delete;
    PluginRegistry &operator=(const PluginRegistry &) = delete;

    void loadDirectory(const QString &directory);
    // Installs, for each loaded plug-in, the translation its resources hold for the locale
    // (":/resource/translations/<library base name>_<language>.qm"); plug-ins install none of
    // their own. Returns the names of the catalogues installed. Needs an application object.
    QStringList installTranslators(const QLocale &locale);

    QString directory() const { return m_directory; }
    const QList<KyGeneralPlugin *> &plugins() const { return m_plugins; }
    QStringList pluginFiles() const { return m_files; }
    const QList<Failure> &failures() const { return m_failures; }

private:
    QString m_directory;
    QList<KyGeneralPlugin *> m_plugins; // owned by their loaders' root components
    QStringList m_files;
    QList<Failure> m_failures;
    QList<QTranslator *> m_translators; // owned; removed from the application when deleted
};
