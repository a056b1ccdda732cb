#include "TestSupport.h"

#include <QXmlStreamReader>

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

// Each translation compiled into the plug-in's resources covers every text the plug-in shows;
// tst_PluginLoading sees the widgets show it once the host installs it.
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
};

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
