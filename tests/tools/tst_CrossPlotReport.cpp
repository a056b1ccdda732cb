#include "CrossPlotMap.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

// Runs crossplot-report as a user would and checks its report against the plug-in's windows.
class tst_CrossPlotReport : public QObject
{
    Q_OBJECT

    // The second report: limits and point size of its own, into the folder of an earlier report.
    // Its error share, 1 %, is flagged above 0.99; its suspect share, 2.1224... %, not at itself.
    static constexpr const char *Limited =
        "planted.fb --min-offset 500 --max-offset 2000 --point-size 7 -o again "
        "--flag-error-share 0.99 --flag-suspect-share 2.122448979591837";
    static constexpr const char *Quoted = "lines/q =%3D<&>'\"\u0416.fb";
    QTemporaryDir m_dir;
    QMap<QString, QJsonObject> m_files; // summary.json by file, and by Limited for the second
    QString m_planted;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray read(const QString &name) const { return readBytes(path(name)); }

private slots:
    // Both reports run once here; the tests below read what they wrote.
    void initTestCase()
    {
        for (const char *folder : {"lines/folder.fb", "no-fb-files", "again/suspects"})
            QDir(m_dir.path()).mkpath(folder);
        // A survey along time = |offset| / 2 with up to 5 ms of noise, every 50th pick an error
        // class pick 300 ms late, and planted mispicks: 40 ms early at every 97th record, 45 ms
        // late at every 89th. Natural picks stay within 14 ms of their 10 m bin's median, planted
        // ones beyond 26. m_planted lists them as the suspect list does, the residual's sign only.
        QVector<FBPick> picks;
        for (int i = 0; i < 30000; ++i) {
            const int magnitude = int((qint64(i) * 7919) % 3000),
                      offset = i % 2 ? -magnitude : magnitude;
            const int kind = i % 50 == 0 ? 1 : i % 97 == 5 ? 2 : i % 89 == 7 ? 3 : 0;
            const int time =
                magnitude / 2 + (i * 13) % 11 - 5 + QVector<int>{0, 300, -40, 45}[kind];
            const int fbClass = kind == 1 ? 2 : i % 7 == 0 ? -1 : i % 3 == 0; // -1 is Correct
            // Fractions that truncation toward zero drops.
            picks.append({offset, float(time) + (time < 0 ? -0.7f : 0.7f), fbClass});
            if (kind > 1)
                m_planted += QString::asprintf("%d,%d,%d,%d,%s\n", i, offset, time, fbClass,
                                               kind == 2 ? "-" : "");
        }
        writeFile(path("planted.fb"), fbBytes(0, 3000, picks));
        writeFile(path("wild.fb"),
                  fbBytes(0, 1000, {{10, 1e12f, 0}, {20, -1e9f, 0}, {30, 1e12f, 2}}));
        writeFile(path("illegal.fb"), fbBytes(300, 300, {{10, 1.0f, 0}}));
        // One record where the header announces 2,000,000,000.
        writeFile(path("lines/c%41.fit"),
                  fbBytes(0, 100, {{10, 5.0f, 0}}).replace(0, 4, QByteArray::fromHex("00943577")));
        for (const char *name : {"lines/a.cal", "lines/readme.txt"})
            QFile(path(name)).open(QIODevice::WriteOnly);
        // A file longer than its header says is whole; a name that HTML and URLs both quote.
        writeFile(path("lines/long.fb"), fbBytes(0, 100, {{10, 5.0f, 0}, {20, 6.0f, 0}}, 1));
        writeFile(path(Quoted), readBytes(path("wild.fb")));
        // 20 picks at 100 ms and 3 missing records, whose zero picks are suspect.
        writeFile(path("lines/short.fb"), fbBytes(0, 100, QVector<FBPick>(20, {5, 100.0f, 0}), 23));
        writeFile(path("again/notes.txt"), "notes\n");
        writeFile(path("again/suspects/planted.fb.csv"), "stale\n");

        const QString files = "planted.fb wild.fb illegal.fb missing.fb lines no-fb-files";
        // Planted's error share of 2 % lies above the suspect threshold and at the error one: not
        // flagged.
        const ToolRun run = runBuiltTool(
            "crossplot-report", "-o out --flag-suspect-share 1.9 --flag-error-share 2 " + files,
            m_dir.path());
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("file 6 of 11: lines/c%41.fit: loading 100%\n"),
                 qPrintable(run.err));
        runOk("crossplot-report", Limited, m_dir.path());
        QVERIFY(read("again/index.html").contains(">errors &gt; 0.99%<") &&
                !read("again/index.html").contains("suspects &gt;"));
        // An earlier report's files are replaced one by one; nothing else in its folder goes.
        QCOMPARE(read("again/notes.txt") + read("again/suspects/planted.fb.csv").left(34),
                 QByteArray("notes\nrecord,offset,time,class,residual\n"));
        QStringList listed; // folders expand to their FB files in name order, in place
        for (const QString dir : {"out", "again"})
            for (const QJsonValue &value :
                 QJsonDocument::fromJson(read(dir + "/summary.json"))["files"].toArray()) {
                listed << value["file"].toString();
                m_files[dir == "out" ? listed.last() : Limited] = value.toObject();
            }
        QCOMPARE(listed.join(' '),
                 QString("planted.fb wild.fb illegal.fb missing.fb lines/a.cal lines/c%41.fit "
                         "lines/folder.fb lines/long.fb ") +
                     Quoted + " lines/short.fb no-fb-files planted.fb");
    }

    // What summary.json says of each file; each class's figures against a window opened on the file
    // with the same parameters.
    void summaryMatchesWindows_data()
    {
        QTest::addColumn<QString>("file"); // or Limited
        // legal, truncated, records present, offset range: message (shares of Correct, Error, Both)
        QTest::addColumn<QString>("summary");
        const auto row = [](const char *file, const char *summary) {
            QTest::newRow(file) << QString(file) << QString(summary);
        };
        row(Limited, "legal, whole, 30000, 500..2000:  (49 1 50)");
        row("lines/long.fb", "legal, whole, 2, 0..100: too few judged trend bins (0 of at least "
                             "10): no refractor model (100 0 100)");
        row("lines/c%41.fit",
            "legal, truncated, 1, 0..100: truncated: the header announces 2,000,000,000 records, "
            "the file holds 1; the missing ones read as picks at 0 m, 0 ms; too few judged trend "
            "bins (1 of at least 10): no refractor model (100 0 100)");
        row("lines/short.fb", "legal, truncated, 20, 0..100: truncated: the header announces 23 "
                              "records, the file holds 20; the missing ones read as picks at 0 m, "
                              "0 ms; too few judged trend bins (1 of at least 10): no refractor "
                              "model (100 0 100)");
        // Picks at 1e12 ms stretch the time axis past what one matrix holds: said for each class.
        const QString tooLarge =
            "The density cannot be drawn at point size 4: its matrix of 250 x 536,870,912 cells is "
            "larger than one matrix can hold (268,435,447 cells). A larger point size or a "
            "narrower offset range would help.";
        QTest::newRow("wild.fb") << QString("wild.fb")
                                 << "legal, whole, 3, 0..1000: wild times: 3 picks lie beyond "
                                    "\u00b160,000 ms; too few judged trend bins (0 of at least "
                                    "10): no refractor model; Correct: " +
                                        tooLarge + "; Error: " + tooLarge + "; Both: " + tooLarge +
                                        " (66.67 33.33 100)";
        row("illegal.fb", "refused, whole, 1, 300..300: Error: the input file is illegal. "
                          "(offsetLow (bytes 8-11) is 300, not below offsetHigh (bytes 12-15), "
                          "300)");
        row("lines/a.cal", "refused, whole, 0, 0..0: the file is empty");
        row("missing.fb", "refused, whole, 0, 0..0: Error: fail to open the file: missing.fb (No "
                          "such file or directory)");
        row("no-fb-files", "refused, whole, 0, 0..0: no FB files in no-fb-files");
        row("lines/folder.fb", "refused, whole, 0, 0..0: a folder, not an FB file");
    }

    void summaryMatchesWindows()
    {
        QFETCH(QString, file);
        const QJsonObject found = m_files.value(file);
        const bool limited = file == Limited;
        QString shares; // as summary.json writes them, rounded as the window's label
        for (const char *type : {"correct", "error", "both"})
            shares += (shares.isEmpty() ? " (" : " ") +
                      QString::number(found["classes"][type]["share"].toDouble());
        QTEST(QStringLiteral("%1, %2, %3, %4..%5: %6%7")
                  .arg(found["legal"].toBool() ? "legal" : "refused",
                       found["truncated"].toBool() ? "truncated" : "whole",
                       QString::number(found["recordsInFile"].toInt(-1)),
                       QString::number(found["offsetLow"].toInt(-1)),
                       QString::number(found["offsetHigh"].toInt(-1)),
                       found["message"].isNull() ? QString() : found["message"].toString(),
                       found["legal"].toBool() ? shares + ')' : QString()),
              "summary");
        if (!found["legal"].toBool())
            return;
        for (const QString type : {"Correct", "Error", "Both"}) {
            // The file, Correct, Error, Both, LVL, point size, and the offset limits.
            CrossPlotMap window({path(file.section(' ', 0, 0)), type == "Correct", type == "Error",
                                 type == "Both", false, 4, limited ? 500 : 0, limited ? 2000 : 0});
            window.findChild<QSpinBox *>("pointSize")->setValue(limited ? 7 : 4);
            const QJsonObject figures = found["classes"][type.toLower()].toObject();
            // Every figure the window shows, as the JSON value it is.
            const QJsonObject shown = window.figures().toJson();
            for (const QString &key : shown.keys())
                QCOMPARE(key + ": " + QString::number(figures[key].toDouble(-1), 'g', 17),
                         key + ": " + QString::number(shown[key].toDouble(), 'g', 17));
            QVERIFY(QFileInfo::exists(
                path((limited ? "again/" : "out/") + figures["image"].toString())));
            // The count and share as the window's label shows them.
            QCOMPARE(QLocale().toString(figures["pickCount"].toInt()) +
                         QStringLiteral(" ( %1% )").arg(figures["share"].toDouble(), 0, 'f', 2),
                     window.findChild<QLabel *>("forFBNumLabel")->text());
        }
    }

    // Well-formed, and every picture and link it shows is there.
    void htmlParsesAndImagesExist()
    {
        QXmlStreamReader html(read("out/index.html"));
        int images = 0;
        QStringList said; // the table's headers, and its flags after their file
        QString file;
        while (!html.atEnd()) {
            if (html.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QString name = html.name().toString();
            const QString link = html.attributes().value(name == "img" ? "src" : "href").toString();
            images += name == "img";
            if (name == "th")
                said << html.readElementText();
            if (name == "a" && link.startsWith('#'))
                file = html.readElementText();
            if (name == "span") // only flags are spans
                said << file + ": " + html.readElementText();
            if (!link.isEmpty() && !link.startsWith('#'))
                QVERIFY2(QFileInfo::exists(path("out/" + QUrl::fromPercentEncoding(link.toUtf8()))),
                         qPrintable(link));
        }
        QVERIFY2(!html.hasError(), qPrintable(html.errorString()));
        QCOMPARE(images, 24); // 6 readable files with 3 crossplots and a histogram each
        QCOMPARE(said.join(" | "),
                 QString("File | Records announced | Records present | Correct | Erroneous | "
                         "Error share | Suspect share | Residual spread (ms) | Refractor model (by "
                         "first velocity) | Last velocity (m/s) | timeMax (ms) | densityMax | "
                         "planted.fb: "
                         "suspects > 1.9% | wild.fb: errors > 2% | illegal.fb: refused | "
                         "missing.fb: refused | lines/a.cal: refused | lines/c%41.fit: truncated | "
                         "lines/folder.fb: refused | ") +
                     Quoted +
                     ": errors > 2% | lines/short.fb: truncated | lines/short.fb: "
                     "suspects > 1.9% | no-fb-files: refused");
    }

    // A pipe is read once, in order: the same figures, suspects and model as from the file.
    void pipeGivesTheFileReport()
    {
        const ToolRun run = runPiped("planted.fb", CROSSPLOT_BIN_DIR "/crossplot-report",
                                     {"-o", "piped", "--flag-suspect-share", "1.9", "/dev/stdin"},
                                     m_dir.path());
        QCOMPARE(run.exitCode, 0);
        QJsonObject piped =
            QJsonDocument::fromJson(read("piped/summary.json"))["files"][0].toObject();
        QJsonObject file = m_files.value("planted.fb");
        for (QJsonObject *entry : {&piped, &file}) { // the names of the file and its pictures
            entry->remove("file");
            QJsonObject classes = (*entry)["classes"].toObject();
            for (const QString &type : classes.keys()) {
                QJsonObject figures = classes[type].toObject();
                figures.remove("image");
                classes[type] = figures;
            }
            (*entry)["classes"] = classes;
        }
        QCOMPARE(QJsonDocument(piped).toJson(), QJsonDocument(file).toJson());
        QCOMPARE(read("piped/suspects/stdin.csv"), read("out/suspects/planted.fb.csv"));
    }

    void plantedSuspectsAreFound()
    {
        const QJsonValue correct = m_files.value("planted.fb").value("classes")["correct"];
        QStringList figures;
        for (const char *key :
             {"judgedCount", "suspectCount", "suspectEarly", "suspectLate", "suspectShare"})
            figures << QString::number(correct[key].toDouble(-1));
        QCOMPARE(figures.join(' '), QString("29400 632 304 328 2.14966"));
        QCOMPARE(QString(read("out/suspects/planted.fb.csv"))
                     .replace(QRegularExpression(",(-?)\\d+\n"), ",\\1\n"),
                 "record,offset,time,class,residual\n" + m_planted);
        // The zero picks of missing records are numbered after the records on file.
        QCOMPARE(
            read("out/suspects/short.fb.csv"),
            "record,offset,time,class,residual\n20,0,0,0,-100\n21,0,0,0,-100\n22,0,0,0,-100\n");
    }

    // The report fits its model to the trend of the Correct picks alone (the fit itself is
    // tst_RefractorModel's): a planted two-layer survey with 5 % erroneous picks comes back.
    void refractorOfAPlantedSurvey()
    {
        QDir(m_dir.path()).mkpath("refractor");
        runOk("fbgen",
              "-q -n 200000 -s 3 --layers 1800,3000:400 --noise 3 --statics 10 --error-share "
              "0.05 refractor/two.fb",
              m_dir.path());
        runOk("crossplot-report", "-o refractor/out refractor/two.fb", m_dir.path());
        const QJsonObject summary =
            QJsonDocument::fromJson(read("refractor/out/summary.json")).object();
        const QJsonValue model = summary["files"][0]["classes"]["correct"]["refractor"];
        const auto near = [&](int layer, const char *key, double planted, double tolerance) {
            return qAbs(model["layers"][layer][key].toDouble() - planted) <= tolerance;
        };
        QVERIFY2(model["layers"].toArray().size() == 2 && near(0, "velocity", 1800, 36) &&
                     near(0, "intercept", 0, 4) && near(1, "velocity", 3000, 60) &&
                     near(1, "fromOffset", 400, 30),
                 QJsonDocument(model.toObject()).toJson().constData());
        // The run's parameters beside the files.
        QCOMPARE(QJsonDocument(summary["parameters"].toObject()).toJson(QJsonDocument::Compact),
                 QByteArray("{\"flagErrorShare\":10,\"flagSuspectShare\":5,\"maxOffset\":0,"
                            "\"minOffset\":0,\"pointSize\":4,\"suspectMs\":20,\"trend\":true,"
                            "\"trendBin\":10}"));
    }

    // With three files or more, a line whose suspect share is more than twice the survey's median
    // stands out; a median of 0 lets none stand out. --no-trend gives no model.
    void suspectsAboveTheSurvey_data()
    {
        QTest::addColumn<QString>("fbgen"); // one file's options per survey line, ";" between
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("flagged");
        QTest::newRow("statics on every line, one with wild picks")
            << "--statics 20;--statics 20;--statics 20 --wild-share 0.2" << "" << "2";
        // About 8 % against a median of 5 %: above the absolute threshold, not twice the survey.
        QTest::newRow("a line under twice the median")
            << "--statics 20;--statics 20;--statics 20 --wild-share 0.03" << "" << "";
        QTest::newRow("clean lines: a median share of 0")
            << "--statics 0 --noise 1;--statics 0 --noise 1;--statics 0 --noise 1 --wild-share 0.2"
            << "" << "";
        QTest::newRow("no trend, no model and no suspects")
            << "--statics 20;--statics 20;--statics 20 --wild-share 0.2" << "--no-trend" << "";
    }

    void suspectsAboveTheSurvey()
    {
        QFETCH(QString, fbgen);
        QFETCH(QString, options);
        QTemporaryDir dir;
        QStringList files;
        for (const QString &line : fbgen.split(';')) {
            files << QStringLiteral("l%1.fb").arg(files.size());
            runOk("fbgen",
                  QStringLiteral("-q -n 30000 -s %1 --layers 2000,3500:600 %2 %3")
                      .arg(files.size())
                      .arg(line, files.last()),
                  dir.path());
        }
        runOk("crossplot-report", options + " -o out " + files.join(' '), dir.path());
        const QString page = readBytes(dir.filePath("out/index.html"));
        QStringList flagged;
        for (int k = 0; k < files.size(); ++k) // row k of the table follows the header's row
            if (page.section("</tr>", k + 1, k + 1).contains("suspects above the survey"))
                flagged << QString::number(k);
        QTEST(flagged.join(' '), "flagged");
        const QJsonArray summary =
            QJsonDocument::fromJson(readBytes(dir.filePath("out/summary.json")))["files"].toArray();
        QCOMPARE(summary[0]["classes"]["correct"]["refractor"].isObject(), options.isEmpty());
    }

    void exitCodes_data()
    {
        toolColumns();
        toolRow("no report folder", "wild.fb", 2, "-o DIR");
        toolRow("no file", "-o x", 2, "no FB file");
        toolRow("point size 0", "-o x --point-size 0 x.fb", 2, "bad value \"0\" for --point-size");
        toolRow("point size 21", "-o x --point-size 21 x.fb", 2, "bad value \"21\" for");
        toolRow("point size 20 taken", "-o x --point-size 20 x.fb", 1, "no file could be read");
        toolRow("point size 1 taken", "-o x --point-size 1 x.fb", 1, "no file could be read");
        toolRow("share above 100", "-o x --flag-error-share 120 wild.fb", 2, "--flag-error-share");
        toolRow("share 100 taken", "-o x --flag-suspect-share 100 x.fb", 1,
                "no file could be read");
        toolRow("trend bin 0", "-o x --trend-bin 0 x.fb", 2, "bad value \"0\" for --trend-bin");
        toolRow("illegal offset range", "-o x --min-offset 600 --max-offset 500 wild.fb", 2,
                "Error: the offset range is illegal.");
        toolRow("help", "--help", 0, "  1  the report folder cannot be written, or no file could");
        toolRow("version", "--version", 0, "crossplot-report 1.0.0");
        toolRow("report folder is a file", "-o wild.fb/x wild.fb", 1, "cannot create the folder");
        toolRow("nothing readable", "-o bad lines/a.cal missing.fb", 1, "no file could be read");
    }

    void exitCodes() { checkToolRow("crossplot-report", m_dir.path()); }
};

QTEST_MAIN(tst_CrossPlotReport)
#include "tst_CrossPlotReport.moc"
