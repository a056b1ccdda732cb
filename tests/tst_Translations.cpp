#include "TestSupport.h"

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
        const QString name = "/CrossPlot_" + language, committed = CROSSPLOT_TS_DIR + name + ".ts";
        // lupdate leaves a catalogue untouched only when it holds exactly the texts that the code
        // shows today, each in the context of the class that shows it.
        QTemporaryDir dir;
        const QString fresh = dir.filePath("fresh.ts");
        QVERIFY(QFile::copy(committed, fresh));
        QVERIFY(runTool(LUPDATE_EXECUTABLE, {"-silent", "-no-obsolete", "-locations", "none",
                                             CROSSPLOT_SOURCE_DIR "/plugins/CrossPlot",
                                             CROSSPLOT_SOURCE_DIR "/ui", "-ts", fresh})
                    .exitCode == 0);
        const QByteArray catalogue = readBytes(committed);
        QCOMPARE(readBytes(fresh), catalogue); // else run the update_translations target
        // Every translation is finished and says something.
        QVERIFY(!catalogue.contains(" type=\"") &&
                !catalogue.contains("<translation></translation>"));
        // The compiled catalogue in the resources is the one lrelease makes of the .ts file.
        QVERIFY(
            runTool(LRELEASE_EXECUTABLE, {"-silent", committed, "-qm", dir.filePath("fresh.qm")})
                .exitCode == 0);
        QCOMPARE(readBytes(":/resource/translations" + name + ".qm"),
                 readBytes(dir.filePath("fresh.qm")));
    }
};

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
