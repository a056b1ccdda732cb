#include "CrossPlotMap.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// A survey along time = |offset| / 2 with up to 5 ms of noise, every 50th pick an error class
// pick 300 ms late, and planted mispicks: 40 ms early at every 97th record, 45 ms late at every
// 89th. Natural picks stay within 14 ms of their 10 m bin's median, planted ones beyond 26.
// Returns the planted picks as suspect-list lines, with the residual's sign only.
QString writePlantedSurvey(const QString &name)
{
    QVector<FBPick> picks;
    QString planted;
    for (int i = 0; i < 30000; ++i) {
        const int magnitude = int((qint64(i) * 7919) % 3000),
                  offset = i % 2 ? -magnitude : magnitude;
        const int kind = i % 50 == 0 ? 1 : i % 97 == 5 ? 2 : i % 89 == 7 ? 3 : 0;
        const int time = magnitude / 2 + (i * 13) % 11 - 5 + QVector<int>{0, 300, -40, 45}[kind];
        const int fbClass = kind == 1 ? 2 : i % 3 == 0;
        // Fractions that truncation toward zero drops.
        picks.append({offset, float(time) + (time < 0 ? -0.7f : 0.7f), fbClass});
        if (kind > 1)
            planted += QString::asprintf("%d,%d,%d,%d,%s\n", i, offset, time, fbClass,
                                         kind == 2 ? "-" : "");
    }
    writeFile(name, fbBytes(0, 3000, picks));
    return planted;
}

} // namespace

// Runs crossplot-report as a user would and checks its report against the plug-in's windows.
class tst_CrossPlotReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QJsonObject> m_files; // summary.json of the main run, by file
    QString m_planted;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    int report(const QString &arguments)
    {
        return runBuiltTool("crossplot-report", arguments.split(' '), m_dir.path()).exitCode;
    }

    QJsonArray summary(const QString &dir)
    {
        QFile file(path(dir + "/summary.json"));
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll())["files"].toArray();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const char *fbgen :
             {"-n 6000 survey.fb", "-n 3000 -s 2 --error-share 0.3 noisy.cal",
              "-n 40 --header-count 100 truncated.fb",
              "-n 50 -s 2 --error-share 0.3 --header-count 2000000000 forged.fb"})
            QCOMPARE(runBuiltTool("fbgen", QString(fbgen).split(' '), m_dir.path()).exitCode, 0);
        writeFile(path("wild.fb"),
                  fbBytes(0, 1000, {{10, 1e12f, 0}, {20, -1e9f, 0}, {30, 12.0f, 2}}));
        writeFile(path("illegal.fb"), fbBytes(300, 300, {{10, 1.0f, 0}}));
        QFile(path("empty.fb")).open(QIODevice::WriteOnly);
        QDir(m_dir.path()).mkpath("lines/folder.fb");
        QDir(m_dir.path()).mkpath("no-fb-files");
        for (const char *name : {"lines/b.fb", "lines/a.cal", "lines/c%41.fit"})
            writeFile(path(name), fbBytes(0, 100, {{10, 5.0f, 0}}));
        QFile(path("lines/readme.txt")).open(QIODevice::WriteOnly);
        m_planted = writePlantedSurvey(path("planted.fb"));

        const QString files = "survey.fb noisy.cal forged.fb truncated.fb wild.fb illegal.fb "
                              "empty.fb missing.fb lines no-fb-files planted.fb";
        QCOMPARE(report("-o out --flag-suspect-share 2 " + files), 0);
        QStringList listed; // folders expand to their FB files in name order, in place
        for (const QJsonValue &value : summary("out")) {
            listed << value["file"].toString();
            m_files[listed.last()] = value.toObject();
        }
        QCOMPARE(listed.join(' '),
                 QString(files).replace("lines", "lines/a.cal lines/b.fb "
                                                 "lines/c%41.fit lines/folder.fb"));
        const QJsonObject survey = m_files.value("survey.fb"),
                          classes = survey["classes"].toObject();
        QCOMPARE(survey.keys().join(' ') + " / " + classes.keys().join(' ') + " / " +
                     classes["correct"].toObject().keys().join(' '),
                 QString("classes file legal message offsetHigh offsetLow recordCount "
                         "recordsInFile truncated / both correct error / cellCount densityMax "
                         "image judgedCount matrixColumns matrixRows pickCount share suspectCount "
                         "suspectEarly suspectLate suspectShare timeMax"));
    }

    // What summary.json says of each file; each class's figures against a window opened on the
    // file with the same parameters.
    void summaryMatchesWindows_data()
    {
        QTest::addColumn<QString>("file");    // and the options of a run of its own
        QTest::addColumn<QString>("summary"); // legal, truncated, records present: message
        const auto row = [](const char *file, const char *summary) {
            QTest::newRow(file) << QString(file) << QString(summary);
        };
        row("survey.fb", "legal, whole, 6000: ");
        row("noisy.cal", "legal, whole, 3000: ");
        row("truncated.fb",
            "legal, truncated, 40: truncated: the header announces 100 records, the file holds 40; "
            "the missing ones read as picks at 0 m, 0 ms");
        row("forged.fb",
            "legal, truncated, 50: truncated: the header announces 2,000,000,000 records, the file "
            "holds 50; the missing ones read as picks at 0 m, 0 ms");
        row("wild.fb", "legal, whole, 3: wild times: 2 picks lie beyond \u00b160,000 ms");
        row("illegal.fb", "refused, whole, 1: Error: the input file is illegal.");
        row("empty.fb", "refused, whole, 0: the file is empty");
        row("missing.fb", "refused, whole, 0: Error: fail to open the file: missing.fb");
        row("lines/folder.fb", "refused, whole, 0: a folder, not an FB file");
        row("no-fb-files", "refused, whole, 0: a folder, not an FB file");
        row("survey.fb --min-offset 500 --max-offset 2000 --point-size 7", "legal, whole, 6000: ");
    }

    void summaryMatchesWindows()
    {
        QFETCH(QString, file);
        const bool limited = file.contains(' ');
        if (limited)
            QCOMPARE(report("-o limited " + file), 0);
        file = file.section(' ', 0, 0);
        const QJsonObject found =
            limited ? summary("limited").at(0).toObject() : m_files.value(file);
        QTEST(QStringLiteral("%1, %2, %3: %4")
                  .arg(found["legal"].toBool() ? "legal" : "refused",
                       found["truncated"].toBool() ? "truncated" : "whole",
                       QString::number(found["recordsInFile"].toInt(-1)),
                       found["message"].isNull() ? QString() : found["message"].toString()),
              "summary");
        const QJsonObject classes = found["classes"].toObject();
        QCOMPARE(classes.isEmpty(), !found["legal"].toBool());
        if (classes.isEmpty())
            return;
        for (const QString type : {"Correct", "Error", "Both"}) {
            // The file, Correct, Error, Both, LVL, point size, and the offset limits.
            CrossPlotMap window({path(file), type == "Correct", type == "Error", type == "Both",
                                 false, 4, limited ? 500 : 0, limited ? 2000 : 0});
            window.findChild<QSpinBox *>("pointSize")->setValue(limited ? 7 : 4);
            const QJsonObject figures = classes[type.toLower()].toObject();
            QVector<qint64> reported;
            for (const char *key : {"recordCount", "offsetLow", "offsetHigh", "timeMax",
                                    "densityMax", "cellCount", "matrixColumns", "matrixRows"})
                reported << qint64((figures.contains(key) ? figures : found)[key].toDouble(-1));
            QCOMPARE(reported,
                     QVector<qint64>({window.loadedRecordCount(), window.offsetWindowLow(),
                                      window.offsetWindowHigh(), window.timeAxisMax(),
                                      window.densityScaleMax(), window.densityCellCount(),
                                      window.densityMatrixColumns(), window.densityMatrixRows()}));
            // The count and share as the window's label shows them.
            QCOMPARE(QLocale().toString(figures["pickCount"].toInt()) +
                         QStringLiteral(" ( %1% )").arg(figures["share"].toDouble(), 0, 'f', 2),
                     window.findChild<QLabel *>("forFBNumLabel")->text());
        }
    }

    // Well-formed, and every picture and link it shows is there.
    void htmlParsesAndImagesExist()
    {
        QFile page(path("out/index.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QXmlStreamReader html(&page);
        int images = 0;
        QStringList headers, flags;
        QString row; // the file named in the table row
        while (!html.atEnd()) {
            if (html.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QString name = html.name().toString();
            const QString link = html.attributes().value(name == "img" ? "src" : "href").toString();
            images += name == "img";
            if (name == "th")
                headers << html.readElementText();
            if (name == "tr")
                row.clear();
            if (name == "a" && link.startsWith('#') && row.isEmpty())
                row = html.readElementText();
            if (name == "span" &&
                html.attributes().value("class").startsWith(QLatin1String("flag")))
                flags << row + ": " + html.readElementText();
            if (!link.isEmpty() && !link.startsWith('#'))
                QVERIFY2(QFileInfo::exists(path("out/" + QUrl::fromPercentEncoding(link.toUtf8()))),
                         qPrintable(link));
        }
        QVERIFY2(!html.hasError(), qPrintable(html.errorString()));
        QCOMPARE(images, 36); // 9 readable files with 3 crossplots and a histogram each
        QCOMPARE(headers.join(" | "),
                 QString("File | Records announced | Records present | Correct | "
                         "Erroneous | Error share | Suspect share | timeMax (ms) | densityMax"));
        QCOMPARE(
            flags.join(" | "),
            QString("survey.fb: suspects > 2% | noisy.cal: errors > 10% | forged.fb: "
                    "truncated | truncated.fb: truncated | wild.fb: errors > 10% | "
                    "illegal.fb: refused | empty.fb: refused | missing.fb: refused | "
                    "lines/folder.fb: refused | no-fb-files: refused | planted.fb: suspects > 2%"));
    }

    void plantedSuspectsAreFound()
    {
        const QJsonObject correct =
            m_files.value("planted.fb").value("classes")["correct"].toObject();
        QCOMPARE(correct["suspectCount"].toInt(), m_planted.count('\n'));
        QCOMPARE(correct["suspectEarly"].toInt(), m_planted.count("-\n"));
        QFile csv(path("out/suspects/planted.fb.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString(csv.readAll()).replace(QRegularExpression(",(-?)\\d+\n"), ",\\1\n"),
                 "record,offset,time,class,residual\n" + m_planted);
    }

    void exitCodes_data()
    {
        toolColumns();
        toolRow("no report folder", "survey.fb", 2, "-o DIR");
        toolRow("no file", "-o x", 2, "no FB file");
        toolRow("point size 0", "-o x --point-size 0 survey.fb", 2,
                "bad value \"0\" for --point-size");
        toolRow("share above 100", "-o x --flag-error-share 120 survey.fb", 2,
                "--flag-error-share");
        toolRow("illegal offset range", "-o x --min-offset 600 --max-offset 500 survey.fb", 2,
                "Error: the offset range is illegal.");
        toolRow("help", "--help", 0, "--flag-suspect-share");
        toolRow("version", "--version", 0, "crossplot-report 1.0.0");
        toolRow("report folder is a file", "-o survey.fb/x survey.fb", 1,
                "cannot create the folder");
        toolRow("nothing readable", "-o bad empty.fb missing.fb", 1, "no file could be read");
        toolRow("one readable, with progress", "-o mixed missing.fb lines/a.cal", 0,
                "file 2 of 2: lines/a.cal: loading 100%");
    }

    void exitCodes() { checkToolRow("crossplot-report", m_dir.path()); }

    // Files of an earlier report are replaced one by one; nothing else in the folder goes.
    void existingFolderIsOverwrittenFileByFile()
    {
        QDir(m_dir.path()).mkpath("again/suspects");
        QVERIFY(writeFile(path("again/notes.txt"), "notes\n"));
        QVERIFY(writeFile(path("again/suspects/b.fb.csv"), "stale\n"));
        QCOMPARE(report("-o again lines/b.fb"), 0);
        QVERIFY(QFileInfo::exists(path("again/notes.txt")));
        QCOMPARE(summary("again").size(), 1);
        QFile old(path("again/suspects/b.fb.csv"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readLine(), QByteArray("record,offset,time,class,residual\n"));
    }
};

QTEST_MAIN(tst_CrossPlotReport)
#include "tst_CrossPlotReport.moc"
