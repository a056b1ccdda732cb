#include "KyValueStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
const char FormatKey[] = "format";
const char FormatName[] = "kyhost-project-values/1";
const char ValuesKey[] = "values";
const char TypeKey[] = "type";
const char ValueKey[] = "value";
} // namespace

KyValueStore::KyValueStore(const QString &fileName) : m_fileName(fileName)
{
}

QString KyValueStore::storePath(const QString &projectDirectory)
{
    return QDir(projectDirectory).filePath(QStringLiteral("project-values.json"));
}

bool KyValueStore::load(QJsonObject *values)
{
    m_error.clear();
    *values = QJsonObject();
    QFile file(m_fileName);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = tr("project values in %1 cannot be read (%2); defaults are used "
                     "and nothing is saved")
                      .arg(m_fileName, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject root = document.object();
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        root.value(QLatin1String(FormatKey)).toString() != QLatin1String(FormatName) ||
        !root.value(QLatin1String(ValuesKey)).isObject()) {
        const QString reason = parseError.error != QJsonParseError::NoError
                                   ? parseError.errorString()
                                   : tr("not a project value file");
        m_error = tr("project values in %1 cannot be parsed (%2); the file is left "
                     "untouched, defaults are used and nothing is saved")
                      .arg(m_fileName, reason);
        return false;
    }
    *values = root.value(QLatin1String(ValuesKey)).toObject();
    return true;
}

QVariant KyValueStore::value(const QString &key, const QVariant &defaultValue)
{
    QJsonObject values;
    if (!load(&values))
        return defaultValue;
    const QJsonObject entry = values.value(key).toObject();
    if (entry.isEmpty())
        return defaultValue;
    const int type = QMetaType::type(entry.value(QLatin1String(TypeKey)).toString().toLatin1());
    QVariant result = entry.value(QLatin1String(ValueKey)).toVariant();
    if (type == QMetaType::UnknownType || !result.convert(type))
        return defaultValue;
    return result;
}

bool KyValueStore::setValue(const QString &key, const QVariant &value)
{
    QJsonObject values;
    if (!load(&values))
        return false;

    QJsonValue stored;
    switch (static_cast<QMetaType::Type>(value.userType())) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Double:
    case QMetaType::QString:
        stored = QJsonValue::fromVariant(value);
        break;
    default:
        // Other types travel as text and are converted back by their type name; a type
        // without a text form cannot keep its type, so it is refused rather than mangled.
        if (!value.isValid() || !value.canConvert<QString>())
            return false;
        stored = value.toString();
        break;
    }
    QJsonObject entry;
    entry.insert(QLatin1String(TypeKey), QString::fromLatin1(value.typeName()));
    entry.insert(QLatin1String(ValueKey), stored);
    values.insert(key, entry);

    QJsonObject root;
    root.insert(QLatin1String(FormatKey), QLatin1String(FormatName));
    root.insert(QLatin1String(ValuesKey), values);

    // QSaveFile writes beside the store and renames over it on commit, so a crash mid-write
    // leaves the previous values in place.
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        m_error =
            tr("project values cannot be saved to %1 (%2)").arg(m_fileName, file.errorString());
        return false;
    }
    return true;
}
