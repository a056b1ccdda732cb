#include "CrossPlotDialog.h"
#include "CrossPlotMap.h"
#include "FBSynth.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <QtWidgets>
#include <qwt_plot.h>
#include <qwt_scale_widget.h>

namespace {

// "context | source" -> translation, or "unfinished" for a translation not marked finished.
QMap<QString, QString> readTs(const QString &fileName)
{
    QMap<QString, QString> messages;
    QFile file(fileName);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation"))
            messages[context + QLatin1String(" | ") + source] =
                xml.attributes().hasAttribute(QLatin1String("type")) ? QStringLiteral("unfinished")
                                                                     : xml.readElementText();
    }
    return messages;
}

} // namespace

// Each translation compiled into the plug-in's resources covers every text the plug-in shows,
// and the widgets show it once a host installs the translator.
class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void catalogueCoversTheCode_data();
    void catalogueCoversTheCode();
    void widgetsShowTheTranslation_data();
    void widgetsShowTheTranslation();
};

void tst_Translations::catalogueCoversTheCode_data()
{
    QTest::addColumn<QString>("language");
    // Every .ts file of the source tree, so that a new language is checked without a new row.
    const QStringList tsFiles = QDir(QStringLiteral(CROSSPLOT_TS_DIR))
                                    .entryList({QStringLiteral("CrossPlot_*.ts")}, QDir::Files);
    QVERIFY(tsFiles.size() >= 2);
    for (const QString &name : tsFiles)
        QTest::newRow(qPrintable(name)) << name.mid(10).chopped(3);
}

void tst_Translations::catalogueCoversTheCode()
{
    QFETCH(QString, language);
    // lupdate over the plug-in's sources and forms into a scratch file gives the texts the code
    // shows today: the committed catalogue holds exactly these, each with a finished translation.
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE_EXECUTABLE),
                  {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral(CROSSPLOT_SOURCE_DIR "/plugins/CrossPlot"),
                   QStringLiteral(CROSSPLOT_SOURCE_DIR "/ui"), QStringLiteral("-ts"), fresh});
    QVERIFY(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0);
    const QStringList inCode = readTs(fresh).keys();
    QVERIFY(inCode.size() > 40);
    const QMap<QString, QString> catalogue =
        readTs(QStringLiteral(CROSSPLOT_TS_DIR "/CrossPlot_%1.ts").arg(language));
    QCOMPARE(catalogue.keys(), inCode); // else run the update_translations target

    // The compiled catalogue in the resources says what the .ts file says.
    QTranslator translator;
    QVERIFY(
        translator.load(QStringLiteral(":/resource/translations/CrossPlot_%1.qm").arg(language)));
    for (auto message = catalogue.cbegin(); message != catalogue.cend(); ++message) {
        const QStringList key = message.key().split(QStringLiteral(" | "));
        QVERIFY2(!message.value().isEmpty() && message.value() != QLatin1String("unfinished"),
                 qPrintable(message.key()));
        QCOMPARE(translator.translate(qPrintable(key.at(0)), qPrintable(key.at(1))),
                 message.value());
    }
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
                                         << "Время первых вступлений, мс";
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
        QTemporaryDir dir;
        CrossPlotParam param;
        param.fbName = dir.filePath(QStringLiteral("survey.fb"));
        FBSynthOptions survey;
        survey.records = 100;
        QVERIFY(FBSynth::write(param.fbName, survey));
        auto *map = new CrossPlotMap(param);
        shown.reset(map);
        const QHash<QString, int> axes{{QStringLiteral("xBottom"), QwtPlot::xBottom},
                                       {QStringLiteral("yLeft"), QwtPlot::yLeft},
                                       {QStringLiteral("yRight"), QwtPlot::yRight}};
        if (axes.contains(widget))
            shownText = map->plotWidget()->axisWidget(axes.value(widget))->title().text();
    }
    shown->show();
    if (auto *button = shown->findChild<QAbstractButton *>(widget))
        shownText = button->text();
    else if (auto *label = shown->findChild<QLabel *>(widget))
        shownText = label->text();
    QCOMPARE(shownText, text);
}

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
