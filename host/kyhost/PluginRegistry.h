#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class KyGeneralPlugin;

// Loads every library of one directory and keeps the general plug-ins among them. Libraries
// that fail, or that are plug-ins of another kind, are remembered with the reason.
class PluginRegistry
{
public:
    struct Failure
    {
        QString fileName;
        QString reason;
    };

    void loadDirectory(const QString &directory);

    QString directory() const { return m_directory; }
    const QList<KyGeneralPlugin *> &plugins() const { return m_plugins; }
    QStringList pluginFiles() const { return m_files; }
    const QList<Failure> &failures() const { return m_failures; }

private:
    QString m_directory;
    QList<KyGeneralPlugin *> m_plugins; // owned by their loaders' root components
    QStringList m_files;
    QList<Failure> m_failures;
};
