#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>
#include <QVariant>

// One project's values in one human-readable JSON file. Each value keeps its type name beside
// it, so an int comes back as an int and a bool as a bool. The file is read afresh on every
// access (it is small, and another dialog or host may have written it since) and replaced
// atomically on every write.
class KyValueStore
{
    Q_DECLARE_TR_FUNCTIONS(KyValueStore)

public:
    explicit KyValueStore(const QString &fileName);

    static QString storePath(const QString &projectDirectory);

    QString fileName() const { return m_fileName; }
    QVariant value(const QString &key, const QVariant &defaultValue);
    bool setValue(const QString &key, const QVariant &value);
    // Why the last call fell back to a default or refused to write; empty when it did not.
    QString errorString() const { return m_error; }

private:
    bool load(QJsonObject *values);

    QString m_fileName;
    QString m_error;
};
