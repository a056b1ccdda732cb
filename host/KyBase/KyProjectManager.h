#pragma once

#include "KyBaseGlobal.h"
#include "KyProjectDefine.h"

#include <QObject>
#include <QSet>

// The application's single record of which project is open. A project is a directory.
class KYBASE_EXPORT KyProjectManager : public QObject
{
    Q_OBJECT

public:
    static KyProjectManager &instance();

    const KyProjectDefine &define() const;
    bool isOpen() const;

    // Opens the directory as the current project; on failure the previous state is kept
    // and errorString() says why.
    bool openProject(const QString &directory);
    void closeProject();
    QString errorString() const;

    // Reports a store problem once per store file, so a broken file does not flood stderr.
    void warnOnce(const QString &storeFile, const QString &message);

signals:
    void projectChanged();

private:
    KyProjectManager();

    KyProjectDefine m_define;
    QString m_error;
    QSet<QString> m_warned;
};
