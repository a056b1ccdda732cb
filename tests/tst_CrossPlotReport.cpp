#include "CrossPlotMap.h"
#include "FBSynth.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct Pick
{
    qint32 offset;
    float time;
    qint32 fbClass;
};

// A 16-byte header and 84-byte records: offset at byte 8, time (float32) at 60, class at 64.
void writeFB(const QString &name, qint32 count, qint32 low, qint32 high, const QVector<Pick> &picks)
{
    QFile file(name);
    file.open(QIODevice::WriteOnly);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << count << qint32(0) << low << high;
    for (const Pick &pick : picks) {
        out << qint64(0) << pick.offset;
        out.writeRawData(QByteArray(48, '\0').constData(), 48);
        out << pick.time << pick.fbClass << qint64(0) << qint64(0);
    }
}

// A survey along time = |offset| / 2 with up to 5 ms of noise, every 50th pick an error class
// pick 300 ms late, and planted mispicks: 40 ms early at every 97th record, 45 ms late at every
// 89th. Natural picks stay within 14 ms of their 10 m bin's median, planted ones beyond 26.
QStringList writePlantedSurvey(const QString &name)
{
    QVector<Pick> picks;
    QStringList planted; // record,offset,time,class and the residual's sign
    for (int i = 0; i < 30000; ++i) {
        const int magnitude = int((qint64(i) * 7919) % 3000);
        const qint32 offset = i % 2 ? -magnitude : magnitude;
        int time = magnitude / 2 + (i * 13) % 11 - 5;
        qint32 fbClass = i % 3 == 0 ? 1 : 0;
        QString sign;
        if (i % 50 == 0) {
            fbClass = 2;
            time += 300;
        } else if (i % 97 == 5) {
            time -= 40;
            sign = QStringLiteral("-");
        } else if (i % 89 == 7) {
            time += 45;
            sign = QStringLiteral("+");
        }
        // Fractions that truncation toward zero drops.
        picks.append({offset, float(time) + (time < 0 ? -0.7f : 0.7f), fbClass});
        if (!sign.isEmpty())
            planted << QStringLiteral("%1,%2,%3,%4,%5")
                           .arg(i)
                           .arg(offset)
                           .arg(time)
                           .arg(fbClass)
                           .arg(sign);
    }
    writeFB(name, picks.size(), 0, 3000, picks);
    return planted;
}

} // namespace

// Runs crossplot-report as a user would and checks its report against the plug-in's windows.
class tst_CrossPlotReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QJsonArray m_files; // summary.json of the main run
    QStringList m_planted;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    int report(const QStringList &arguments, QByteArray *err = nullptr)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(CROSSPLOT_BIN_DIR "/crossplot-report"), arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (err)
            *err = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode();
    }

    QJsonArray summary(const QString &dir)
    {
        QFile file(path(dir + QStringLiteral("/summary.json")));
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll())
            .object()
            .value(QStringLiteral("files"))
            .toArray();
    }

    QJsonObject entry(const QString &file) const
    {
        for (const QJsonValue &value : m_files)
            if (value.toObject().value(QStringLiteral("file")).toString() == file)
                return value.toObject();
        return QJsonObject();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FBSynthOptions options;
        options.records = 6000;
        QVERIFY(FBSynth::write(path("survey.fb"), options));
        options.records = 3000;
        options.seed = 2;
        options.errorShare = 0.3;
        QVERIFY(FBSynth::write(path("noisy.cal"), options));
        options.records = 50;
        options.forgeRecordCount = true;
        options.headerRecordCount = 2000000000;
        QVERIFY(FBSynth::write(path("forged.fb"), options));

        QVector<Pick> picks;
        for (int i = 0; i < 40; ++i)
            picks.append({100 + 10 * i, 50.0f + i, i % 4 == 0 ? 3 : 0});
        writeFB(path("truncated.fb"), 100, 0, 1000, picks);
        writeFB(path("wild.fb"), 3, 0, 1000, {{10, 1e12f, 0}, {20, -1e9f, 0}, {30, 12.0f, 2}});
        writeFB(path("illegal.fb"), 1, 300, 300, {{10, 1.0f, 0}});
        QFile(path("empty.fb")).open(QIODevice::WriteOnly);

        QDir(m_dir.path()).mkpath(QStringLiteral("lines/sub.fb"));
        QDir(m_dir.path()).mkpath(QStringLiteral("nothing"));
        for (const char *name : {"lines/b.fb", "lines/a.cal", "lines/c%41.fit"})
            writeFB(path(QLatin1String(name)), 1, 0, 100, {{10, 5.0f, 0}});
        QFile(path("lines/readme.txt")).open(QIODevice::WriteOnly);
        m_planted = writePlantedSurvey(path("planted.fb"));

        QCOMPARE(report({"-o", "out", "--flag-suspect-share", "2", "survey.fb", "noisy.cal",
                         "forged.fb", "truncated.fb", "wild.fb", "illegal.fb", "empty.fb",
                         "missing.fb", "lines", "nothing", "planted.fb"}),
                 0);
        m_files = summary(QStringLiteral("out"));
        QCOMPARE(m_files.size(), 14);
    }

    // Each class's figures against a window opened on the file with the same parameters.
    void summaryMatchesWindows_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("file");
        QTest::newRow("generated survey") << QStringList() << "survey.fb";
        QTest::newRow("30% erroneous") << QStringList() << "noisy.cal";
        QTest::newRow("truncated: zero picks") << QStringList() << "truncated.fb";
        QTest::newRow("forged count") << QStringList() << "forged.fb";
        QTest::newRow("wild times") << QStringList() << "wild.fb";
        QTest::newRow("offset limits, point size 7")
            << QStringList{"--min-offset", "500", "--max-offset", "2000", "--point-size", "7"}
            << "survey.fb";
    }

    void summaryMatchesWindows()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, file);
        QJsonObject found = entry(file);
        if (!options.isEmpty()) {
            QCOMPARE(report(QStringList{"-o", "limited", file} + options), 0);
            found = summary(QStringLiteral("limited")).at(0).toObject();
        }
        const QJsonObject classes = found.value(QStringLiteral("classes")).toObject();
        QCOMPARE(found.keys(),
                 (QStringList{"classes", "file", "legal", "message", "offsetHigh", "offsetLow",
                              "recordCount", "recordsInFile", "truncated"}));
        QCOMPARE(classes.keys(), (QStringList{"both", "correct", "error"}));
        QCOMPARE(classes.value(QStringLiteral("correct")).toObject().keys(),
                 (QStringList{"cellCount", "densityMax", "image", "judgedCount", "matrixColumns",
                              "matrixRows", "pickCount", "share", "suspectCount", "suspectEarly",
                              "suspectLate", "suspectShare", "timeMax"}));
        for (const QString type : {"Correct", "Error", "Both"}) {
            CrossPlotParam param;
            param.fbName = path(file);
            param.plotCorrectFB = type == QLatin1String("Correct");
            param.plotErrorFB = type == QLatin1String("Error");
            param.plotAllFB = type == QLatin1String("Both");
            param.minOffset = options.isEmpty() ? 0 : 500;
            param.maxOffset = options.isEmpty() ? 0 : 2000;
            CrossPlotMap window(param);
            window.findChild<QSpinBox *>(QStringLiteral("pointSize"))
                ->setValue(options.isEmpty() ? 4 : 7);
            const QJsonObject figures = classes.value(type.toLower()).toObject();
            const QPair<QJsonValue, qint64> shown[] = {
                {found["recordCount"], window.loadedRecordCount()},
                {found["offsetLow"], window.offsetWindowLow()},
                {found["offsetHigh"], window.offsetWindowHigh()},
                {figures["timeMax"], window.timeAxisMax()},
                {figures["densityMax"], window.densityScaleMax()},
                {figures["cellCount"], window.densityCellCount()},
                {figures["matrixColumns"], window.densityMatrixColumns()},
                {figures["matrixRows"], window.densityMatrixRows()}};
            for (const auto &figure : shown)
                QCOMPARE(qint64(figure.first.toDouble(-1)), figure.second);
            // The count and share as the window's label shows them.
            QCOMPARE(QLocale().toString(figures["pickCount"].toInt()) +
                         QStringLiteral(" ( %1% )").arg(figures["share"].toDouble(), 0, 'f', 2),
                     window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text());
        }
    }

    void flags_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("legal");
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<QString>("message"); // empty: null
        QTest::addColumn<int>("recordsInFile");

        QTest::newRow("sound survey") << "survey.fb" << true << false << "" << 6000;
        QTest::newRow("truncated")
            << "truncated.fb" << true << true
            << "truncated: the header announces 100 records, the file holds 40" << 40;
        QTest::newRow("forged count")
            << "forged.fb" << true << true
            << "the header announces 2,000,000,000 records, the file holds 50" << 50;
        QTest::newRow("wild times")
            << "wild.fb" << true << false << "wild times: 2 picks lie beyond \u00b160,000 ms" << 3;
        QTest::newRow("illegal header")
            << "illegal.fb" << false << false << "Error: the input file is illegal." << 1;
        QTest::newRow("empty") << "empty.fb" << false << false << "the file is empty" << 0;
        QTest::newRow("missing") << "missing.fb" << false << false
                                 << "Error: fail to open the file: missing.fb" << 0;
        QTest::newRow("folder named like an FB file")
            << "lines/sub.fb" << false << false << "a folder, not an FB file" << 0;
        QTest::newRow("folder without FB files")
            << "nothing" << false << false << "a folder, not an FB file" << 0;
    }

    void flags()
    {
        QFETCH(QString, file);
        QFETCH(bool, legal);
        QFETCH(bool, truncated);
        QFETCH(QString, message);
        QFETCH(int, recordsInFile);
        const QJsonObject found = entry(file);
        QCOMPARE(found.value(QStringLiteral("legal")).toBool(), legal);
        QCOMPARE(found.value(QStringLiteral("truncated")).toBool(), truncated);
        QCOMPARE(found.value(QStringLiteral("recordsInFile")).toInt(-1), recordsInFile);
        if (message.isEmpty())
            QVERIFY(found.value(QStringLiteral("message")).isNull());
        else
            QVERIFY2(found.value(QStringLiteral("message")).toString().contains(message),
                     qPrintable(found.value(QStringLiteral("message")).toString()));
        QCOMPARE(found.value(QStringLiteral("classes")).toObject().isEmpty(), !legal);
    }

    void folderExpansion()
    {
        QStringList files;
        for (int i = 8; i < 12; ++i)
            files << m_files.at(i).toObject().value(QStringLiteral("file")).toString();
        QCOMPARE(files,
                 (QStringList{"lines/a.cal", "lines/b.fb", "lines/c%41.fit", "lines/sub.fb"}));
    }

    // Well-formed, and every picture and link it shows is there.
    void htmlParsesAndImagesExist()
    {
        QFile page(path("out/index.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QXmlStreamReader html(&page);
        int images = 0;
        QStringList headers;
        QMap<QString, QStringList> flags; // by the file named in the table row
        QString row;
        while (!html.atEnd()) {
            html.readNext();
            if (!html.isStartElement())
                continue;
            const QString link = html.attributes()
                                     .value(html.name() == QLatin1String("img") ? "src" : "href")
                                     .toString();
            if (html.name() == QLatin1String("img"))
                ++images;
            if (html.name() == QLatin1String("th"))
                headers << html.readElementText();
            if (html.name() == QLatin1String("tr"))
                row.clear();
            if (html.name() == QLatin1String("a") && link.startsWith(QLatin1Char('#')) &&
                row.isEmpty())
                row = html.readElementText();
            const QStringList classes = html.attributes().value("class").toString().split(' ');
            if (html.name() == QLatin1String("span") && classes.contains(QLatin1String("flag")))
                flags[row] << html.readElementText();
            if (!link.isEmpty() && !link.startsWith(QLatin1Char('#')))
                QVERIFY2(QFileInfo::exists(path("out/" + QUrl::fromPercentEncoding(link.toUtf8()))),
                         qPrintable(link));
        }
        QVERIFY2(!html.hasError(), qPrintable(html.errorString()));
        // 9 readable files with 3 crossplots and a histogram each.
        QCOMPARE(images, 36);
        QCOMPARE(headers, (QStringList{"File", "Records announced", "Records present", "Correct",
                                       "Erroneous", "Error share", "Suspect share", "timeMax (ms)",
                                       "densityMax"}));
        QCOMPARE(flags.value("noisy.cal"), QStringList{"errors > 10%"});
        QCOMPARE(flags.value("truncated.fb"), QStringList{"truncated"});
        QCOMPARE(flags.value("illegal.fb"), QStringList{"refused"});
        QCOMPARE(flags.value("planted.fb"), QStringList{"suspects > 2%"}); // 2.2% planted
    }

    void plantedSuspectsAreFound()
    {
        const QJsonObject correct = entry("planted.fb")["classes"].toObject()["correct"].toObject();
        QCOMPARE(correct.value(QStringLiteral("suspectCount")).toInt(), m_planted.size());
        QFile csv(path("out/suspects/planted.fb.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(csv.readLine(), QByteArray("record,offset,time,class,residual\n"));
        QStringList found;
        while (!csv.atEnd()) {
            const QString line = QString::fromLatin1(csv.readLine()).trimmed();
            found << line.section(QLatin1Char(','), 0, 3) + QLatin1Char(',') +
                         (line.section(QLatin1Char(','), 4).toInt() < 0 ? "-" : "+");
        }
        QCOMPARE(found, m_planted);
        QCOMPARE(correct.value(QStringLiteral("suspectEarly")).toInt(),
                 m_planted.filter(QRegularExpression("-$")).size());
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("no report folder") << QStringList{"survey.fb"} << 2 << "-o DIR";
        QTest::newRow("no file") << QStringList{"-o", "x"} << 2 << "no FB file";
        QTest::newRow("point size 0") << QStringList{"-o", "x", "--point-size", "0", "survey.fb"}
                                      << 2 << "bad value \"0\" for --point-size";
        QTest::newRow("share above 100")
            << QStringList{"-o", "x", "--flag-error-share", "120", "survey.fb"} << 2
            << "--flag-error-share";
        QTest::newRow("illegal offset range")
            << QStringList{"-o", "x", "--min-offset", "600", "--max-offset", "500", "survey.fb"}
            << 2 << "Error: the offset range is illegal.";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--flag-suspect-share";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "crossplot-report 1.0.0";
        QTest::newRow("report folder is a file")
            << QStringList{"-o", "survey.fb/x", "survey.fb"} << 1 << "cannot create the folder";
        QTest::newRow("nothing readable")
            << QStringList{"-o", "bad", "empty.fb", "missing.fb"} << 1 << "no file could be read";
        QTest::newRow("one readable, with progress")
            << QStringList{"-o", "mixed", "missing.fb", "lines/a.cal"} << 0
            << "file 2 of 2: lines/a.cal: loading 100%";
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QByteArray printed;
        QCOMPARE(report(arguments, &printed), exitCode);
        QVERIFY2(printed.contains(output.toUtf8()), printed.constData());
    }

    // Files of an earlier report are replaced one by one; nothing else in the folder goes.
    void existingFolderIsOverwrittenFileByFile()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("again/suspects"));
        QFile(path("again/notes.txt")).open(QIODevice::WriteOnly);
        QFile old(path("again/suspects/b.fb.csv"));
        old.open(QIODevice::WriteOnly);
        old.write("stale\n");
        old.close();
        QCOMPARE(report({"-o", "again", "lines/b.fb"}), 0);
        QVERIFY(QFileInfo::exists(path("again/notes.txt")));
        QCOMPARE(summary(QStringLiteral("again")).size(), 1);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readLine(), QByteArray("record,offset,time,class,residual\n"));
    }
};

QTEST_MAIN(tst_CrossPlotReport)
#include "tst_CrossPlotReport.moc"
