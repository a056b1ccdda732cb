#include "CrossPlotDialog.h"
#include "CrossPlotMap.h"
#include "TestSupport.h"

#include <QXmlStreamReader>
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
        if (xml.name() == "name")
            context = xml.readElementText();
        else if (xml.name() == "source")
            source = xml.readElementText();
        else if (xml.name() == "translation")
            messages[context + " | " + source] =
                xml.attributes().hasAttribute("type") ? "unfinished" : xml.readElementText();
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
    void catalogueCoversTheCode_data()
    {
        QTest::addColumn<QString>("language");
        // Every .ts file of the source tree, so that a new language is checked without a new row.
        const QStringList tsFiles =
            QDir(CROSSPLOT_TS_DIR).entryList({"CrossPlot_*.ts"}, QDir::Files);
        QVERIFY(tsFiles.size() >= 2);
        for (const QString &name : tsFiles)
            QTest::newRow(qPrintable(name)) << name.mid(10).chopped(3);
    }

    void catalogueCoversTheCode()
    {
        QFETCH(QString, language);
        // lupdate into a scratch file gives the texts the code shows today: the committed
        // catalogue holds exactly these, each with a finished translation.
        QTemporaryDir dir;
        const QString fresh = dir.filePath("fresh.ts");
        QVERIFY(runTool(LUPDATE_EXECUTABLE,
                        {"-silent", "-locations", "none", CROSSPLOT_SOURCE_DIR "/plugins/CrossPlot",
                         CROSSPLOT_SOURCE_DIR "/ui", "-ts", fresh})
                    .exitCode == 0);
        const QStringList inCode = readTs(fresh).keys();
        QVERIFY(inCode.size() > 40);
        const QMap<QString, QString> catalogue =
            readTs(CROSSPLOT_TS_DIR "/CrossPlot_" + language + ".ts");
        QCOMPARE(catalogue.keys(), inCode); // else run the update_translations target
        // The compiled catalogue in the resources says what the .ts file says.
        QTranslator translator;
        QVERIFY(translator.load(":/resource/translations/CrossPlot_" + language + ".qm"));
        for (auto message = catalogue.cbegin(); message != catalogue.cend(); ++message) {
            const QStringList key = message.key().split(" | ");
            QVERIFY2(!message.value().isEmpty() && message.value() != "unfinished",
                     qPrintable(message.key()));
            QCOMPARE(translator.translate(qPrintable(key.at(0)), qPrintable(key.at(1))),
                     message.value());
        }
    }

    void widgetsShowTheTranslation_data()
    {
        QTest::addColumn<QString>("widget"); // a dialog's or window's child, or a window's axis
        QTest::addColumn<QString>("text");
        const auto row = [](const char *tag, const char *widget, const char *text) {
            QTest::newRow(tag) << QString(widget) << QString(text);
        };
        row("zh_CN dialog Cancel", "cancelButton", "取消");
        row("zh_CN dialog FB file", "label", "初至文件：");
        row("zh_CN dialog Error FB", "plotErrorFB", "错误初至");
        row("zh_CN window Reset", "resetColorSetting", "重置");
        row("zh_CN window FB type", "forTypeLabel", "正确");
        row("zh_CN window offset axis", "xBottom", "炮检距 (m)");
        row("zh_CN window colour bar", "yRight", "初至密度");
        row("ru dialog offset range", "label_2", "Диапазон удалений:");
        row("ru dialog Both", "plotAllFB", "Все");
        row("ru window Point size", "label_6", "Размер точки:");
        row("ru window time axis", "yLeft", "Время первых вступлений, мс");
        row("ru window FB type", "forTypeLabel", "Правильные");
    }

    void widgetsShowTheTranslation()
    {
        QFETCH(QString, widget);
        const QString tag = QTest::currentDataTag(), language = tag.section(' ', 0, 0);
        QTranslator translator;
        QVERIFY(translator.load(":/resource/translations/CrossPlot_" + language + ".qm"));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QTemporaryDir dir;
        CrossPlotParam param{dir.filePath("survey.fb")};
        QVERIFY(writeFile(param.fbName, fbBytes(0, 3000, {{1000, 400.0f, 0}})));
        QScopedPointer<QWidget> shown(tag.contains(" dialog ")
                                          ? static_cast<QWidget *>(new CrossPlotDialog)
                                          : new CrossPlotMap(param));
        shown->show();
        QWidget *child = shown->findChild<QWidget *>(widget);
        QString text = child ? child->property("text").toString() : QString();
        const QStringList axes{"yLeft", "yRight", "xBottom"};
        if (auto *map = qobject_cast<CrossPlotMap *>(shown.data()); map && axes.contains(widget))
            text = map->plotWidget()->axisWidget(axes.indexOf(widget))->title().text();
        QTEST(text, "text");
    }
};

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
