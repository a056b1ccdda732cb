#include "KyProjectManager.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

KyProjectManager &KyProjectManager::instance()
{
    static KyProjectManager manager;
    return manager;
}

KyProjectManager::KyProjectManager() = default;

const KyProjectDefine &KyProjectManager::define() const
{
    return m_define;
}

bool KyProjectManager::isOpen() const
{
    return !m_define.projectPath.isEmpty();
}

bool KyProjectManager::openProject(const QString &directory)
{
    const QFileInfo info(directory);
    if (directory.isEmpty() || !info.exists()) {
        m_error = tr("The project directory \"%1\" does not exist.").arg(directory);
        return false;
    }
    if (!info.isDir()) {
        m_error = tr("\"%1\" is not a directory.").arg(directory);
        return false;
    }
    if (!info.isReadable() || !info.isExecutable()) {
        m_error = tr("The project directory \"%1\" cannot be read.").arg(directory);
        return false;
    }
    m_define.projectPath = QDir::cleanPath(info.absoluteFilePath());
    m_define.projectName = info.fileName();
    m_error.clear();
    emit projectChanged();
    return true;
}

void KyProjectManager::closeProject()
{
    if (!isOpen())
        return;
    m_define = KyProjectDefine();
    emit projectChanged();
}

QString KyProjectManager::errorString() const
{
    return m_error;
}

void KyProjectManager::warnOnce(const QString &storeFile, const QString &message)
{
    if (m_warned.contains(storeFile))
        return;
    m_warned.insert(storeFile);
    std::fprintf(stderr, "kyhost: %s\n", qPrintable(message));
}
