#include "FileReport.h"

#include <QJsonValue>
#include <QStringList>

#include "RefractorModel.h"
#include <cmath>

namespace {

// The window's figures, with the share its label shows and the picture drawn of it.
QJsonObject classJson(const FileReport::ClassFigures &figures)
{
    QJsonObject json = figures.figures.toJson();
    json.insert(QStringLiteral("share"), figures.figures.share());
    json.insert(QStringLiteral("image"), figures.image);
    return json;
}

// Counts go out as JSON numbers, which hold whole numbers exactly up to 2^53.
QJsonValue count(qint64 value)
{
    return QJsonValue(double(value));
}

} // namespace

QString FileReport::refractorLine(const RefractorModel &model)
{
    QStringList layers;
    for (const RefractorModel::Layer &layer : model.layers())
        layers << (layers.isEmpty() ? QString::number(qRound(layer.velocity))
                                    : QStringLiteral("%1 from %2 m")
                                          .arg(qRound(layer.velocity))
                                          .arg(qRound(layer.fromOffset)));
    return QStringLiteral("%1 (m/s); intercept %2 ms")
        .arg(layers.join(QStringLiteral(", ")))
        .arg(model.layers().constFirst().intercept, 0, 'f', 1);
}

QString FileReport::message() const
{
    QStringList parts;
    if (!refusal.isEmpty())
        parts << refusal;
    parts << notes;
    return parts.join(QStringLiteral("; "));
}

QJsonObject FileReport::toJson(bool withTrend) const
{
    QJsonObject classes;
    if (hasClasses) {
        QJsonObject correctJson = classJson(correct);
        if (withTrend) {
            const bool done = trend.done;
            auto figure = [done](qint64 value) { return done ? count(value) : QJsonValue(); };
            correctJson.insert(QStringLiteral("judgedCount"), figure(trend.judgedCount));
            correctJson.insert(QStringLiteral("suspectCount"), figure(trend.suspectCount));
            correctJson.insert(QStringLiteral("suspectEarly"), figure(trend.suspectEarly));
            correctJson.insert(QStringLiteral("suspectLate"), figure(trend.suspectLate));
            correctJson.insert(QStringLiteral("suspectShare"),
                               done ? QJsonValue(trend.suspectShare) : QJsonValue());
            correctJson.insert(QStringLiteral("residualSpread"),
                               done ? QJsonValue(trend.residualSpread) : QJsonValue());
            correctJson.insert(QStringLiteral("refractor"),
                               done ? trend.refractor : QJsonValue(QJsonValue::Null));
        }
        classes.insert(QStringLiteral("correct"), correctJson);
        classes.insert(QStringLiteral("error"), classJson(error));
        classes.insert(QStringLiteral("both"), classJson(both));
    }
    const QString text = message();
    return QJsonObject{{QStringLiteral("file"), file},
                       {QStringLiteral("legal"), legal},
                       {QStringLiteral("message"), text.isEmpty() ? QJsonValue() : text},
                       {QStringLiteral("recordCount"), recordCount},
                       {QStringLiteral("recordsInFile"), count(recordsInFile)},
                       {QStringLiteral("truncated"), truncated},
                       {QStringLiteral("offsetLow"), offsetLow},
                       {QStringLiteral("offsetHigh"), offsetHigh},
                       {QStringLiteral("classes"), classes}};
}
