#include "CrossPlotDialog.h"
#include "CrossPlotMap.h"

#include <QDataStream>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <QtWidgets>
#include <qwt_plot.h>
#include <qwt_scale_widget.h>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    bool finished;
};

QList<Message> readTs(const QString &fileName)
{
    QList<Message> messages;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            message = {context, QString(), QString(), true};
        } else if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            message.translation = xml.readElementText();
            messages << message;
        }
    }
    return messages;
}

QStringList keys(const QList<Message> &messages)
{
    QStringList list;
    for (const Message &message : messages)
        list << message.context + QLatin1String(" | ") + message.source;
    list.sort();
    return list;
}

} // namespace

// Each translation compiled into the plug-in's resources covers every text the plug-in shows,
// and the widgets show it once a host installs the translator.
class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void everyTextIsTranslated_data();
    void everyTextIsTranslated();
    void catalogueMatchesTheSources_data() { everyTextIsTranslated_data(); }
    void catalogueMatchesTheSources();
    void widgetsShowTheTranslation_data();
    void widgetsShowTheTranslation();
};

void tst_Translations::everyTextIsTranslated_data()
{
    QTest::addColumn<QString>("language");
    // Every .ts file of the source tree, so that a new language is checked without a new row.
    const QStringList tsFiles = QDir(QStringLiteral(CROSSPLOT_TS_DIR))
                                    .entryList({QStringLiteral("CrossPlot_*.ts")}, QDir::Files);
    QVERIFY(tsFiles.size() >= 2);
    for (QString name : tsFiles) {
        name = name.mid(10).chopped(3);
        QTest::newRow(qPrintable(name)) << name;
    }
}

void tst_Translations::everyTextIsTranslated()
{
    QFETCH(QString, language);
    const QList<Message> messages =
        readTs(QStringLiteral(CROSSPLOT_TS_DIR "/CrossPlot_%1.ts").arg(language));
    QVERIFY(messages.size() > 40);
    QTranslator translator;
    QVERIFY(
        translator.load(QStringLiteral(":/resource/translations/CrossPlot_%1.qm").arg(language)));
    for (const Message &message : messages) {
        const QString where = message.context + QLatin1String(": ") + message.source;
        QVERIFY2(message.finished && !message.translation.isEmpty(), qPrintable(where));
        // The compiled catalogue says what the .ts file says: lrelease ran on the latest one.
        QCOMPARE(translator.translate(qPrintable(message.context), qPrintable(message.source)),
                 message.translation);
    }
}

void tst_Translations::catalogueMatchesTheSources()
{
    // lupdate over the plug-in's sources and forms, into a scratch file: every text the code
    // shows today must be in the committed catalogue, and nothing else.
    QFETCH(QString, language);
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE_EXECUTABLE),
                  {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral(CROSSPLOT_SOURCE_DIR "/plugins/CrossPlot"),
                   QStringLiteral(CROSSPLOT_SOURCE_DIR "/ui"), QStringLiteral("-ts"), fresh});
    QVERIFY(lupdate.waitForFinished(60000));
    QCOMPARE(lupdate.exitCode(), 0);
    const QStringList inCode = keys(readTs(fresh));
    QVERIFY(inCode.size() > 40);
    const QStringList inCatalogue =
        keys(readTs(QStringLiteral(CROSSPLOT_TS_DIR "/CrossPlot_%1.ts").arg(language)));
    QStringList missing, stale;
    for (const QString &key : inCode)
        if (!inCatalogue.contains(key))
            missing << key;
    for (const QString &key : inCatalogue)
        if (!inCode.contains(key))
            stale << key;
    QVERIFY2(
        missing.isEmpty() && stale.isEmpty(),
        qPrintable(QStringLiteral("run the update_translations target; missing: %1; no "
                                  "longer in the code: %2")
                       .arg(missing.join(QLatin1String(", ")), stale.join(QLatin1String(", ")))));
}

void tst_Translations::widgetsShowTheTranslation_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("text");
    QTest::newRow("zh_CN dialog Cancel") << "zh_CN"
                                         << "dialog"
                                         << "cancelButton"
                                         << "取消";
    QTest::newRow("zh_CN dialog FB file") << "zh_CN"
                                          << "dialog"
                                          << "label"
                                          << "初至文件：";
    QTest::newRow("zh_CN dialog Error FB") << "zh_CN"
                                           << "dialog"
                                           << "plotErrorFB"
                                           << "错误初至";
    QTest::newRow("zh_CN window Reset") << "zh_CN"
                                        << "window"
                                        << "resetColorSetting"
                                        << "重置";
    QTest::newRow("zh_CN window FB type") << "zh_CN"
                                          << "window"
                                          << "forTypeLabel"
                                          << "正确";
    QTest::newRow("zh_CN window offset axis") << "zh_CN"
                                              << "window"
                                              << "xBottom"
                                              << "炮检距 (m)";
    QTest::newRow("zh_CN window colour bar") << "zh_CN"
                                             << "window"
                                             << "yRight"
                                             << "初至密度";
    QTest::newRow("ru dialog offset range") << "ru"
                                            << "dialog"
                                            << "label_2"
                                            << "Диапазон удалений:";
    QTest::newRow("ru dialog Both") << "ru"
                                    << "dialog"
                                    << "plotAllFB"
                                    << "Все";
    QTest::newRow("ru window Point size") << "ru"
                                          << "window"
                                          << "label_6"
                                          << "Размер точки:";
    QTest::newRow("ru window time axis") << "ru"
                                         << "window"
                                         << "yLeft"
                                         << "Время первого вступления (мс)";
    QTest::newRow("ru window FB type") << "ru"
                                       << "window"
                                       << "forTypeLabel"
                                       << "Правильные";
}

void tst_Translations::widgetsShowTheTranslation()
{
    QFETCH(QString, language);
    QFETCH(QString, window);
    QFETCH(QString, widget);
    QFETCH(QString, text);
    QTranslator translator;
    QVERIFY(
        translator.load(QStringLiteral(":/resource/translations/CrossPlot_%1.qm").arg(language)));
    QVERIFY(QCoreApplication::installTranslator(&translator));

    QScopedPointer<QWidget> shown;
    QString shownText;
    if (window == QLatin1String("dialog")) {
        shown.reset(new CrossPlotDialog);
    } else {
        // One correct pick at 10 m, 37 ms in a file whose header gives the offsets 0..100.
        QTemporaryDir dir;
        const QString fbName = dir.filePath(QStringLiteral("one-pick.fb"));
        QFile file(fbName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QDataStream out(&file);
        out.setByteOrder(QDataStream::LittleEndian);
        out.setFloatingPointPrecision(QDataStream::SinglePrecision);
        out << qint32(1) << qint32(84) << qint32(0) << qint32(100);
        out.writeRawData(QByteArray(8, 'x').constData(), 8);
        out << qint32(10);
        out.writeRawData(QByteArray(48, 'x').constData(), 48);
        out << 37.0f << qint32(0);
        out.writeRawData(QByteArray(16, 'x').constData(), 16);
        file.close();
        CrossPlotParam param;
        param.fbName = fbName;
        auto *map = new CrossPlotMap(param);
        shown.reset(map);
        const QHash<QString, int> axes{{QStringLiteral("xBottom"), QwtPlot::xBottom},
                                       {QStringLiteral("yLeft"), QwtPlot::yLeft},
                                       {QStringLiteral("yRight"), QwtPlot::yRight}};
        if (axes.contains(widget))
            shownText = map->plotWidget()->axisWidget(axes.value(widget))->title().text();
    }
    shown->show();
    if (shownText.isEmpty()) {
        auto *child = shown->findChild<QWidget *>(widget);
        QVERIFY2(child, qPrintable(widget));
        if (auto *button = qobject_cast<QAbstractButton *>(child))
            shownText = button->text();
        else if (auto *label = qobject_cast<QLabel *>(child))
            shownText = label->text();
    }
    QCOMPARE(shownText, text);
}

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
