#include "FBLoader.h"
#include "PickTrend.h"
#include "RefractorModel.h"
#include "RefractorTally.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

using Bins = QVector<RefractorModel::Bin>;

// Fits model to a file's judged trend bins of 10 m, at the mean offset of their Correct picks
// and weighted by their number, as the report does, then tallies the judged Correct picks against
// it. Says the judged picks left out of the layers' counts and their median |residual|.
QString fitFile(const QString &file, RefractorModel &model)
{
    FBPickFilter filter; // the Correct picks, as the report's trend takes them
    filter.keepDetails = true;
    FBLoader loader(file, filter);
    FBPicks picks;
    loader.readHeader(picks);
    loader.readRecords(picks);
    PickTrend trend(picks.offsetLow, 10, 20);
    if (!trend.fit(picks) || !trend.fitRefractor(model))
        return QString();
    // The judged picks, as the report's second read hands them over: all at once here.
    RefractorTally tally(model);
    PickTrend::Judgement judgement;
    judgement.tally = &tally;
    trend.judge(picks.offsets.constData(), picks.fbTimes.constData(), picks.records.constData(),
                picks.classes.constData(), picks.offsets.size(), judgement, nullptr);
    qint64 left = judgement.judged;
    for (int k = 0; k < model.layers().size(); ++k)
        left -= tally.pickCount(k);
    return QStringLiteral("%1 %2").arg(left).arg(tally.medianAbsResidual());
}

// A model in a line: "v1 v2@x2 ... | t0" with velocities in m/s, crossovers in m and the first
// intercept in ms, all rounded; or the reason when there is none.
QString said(const RefractorModel &model)
{
    if (!model.isValid())
        return model.reason();
    QStringList layers;
    for (const RefractorModel::Layer &layer : model.layers())
        layers << (layers.isEmpty() ? QString::number(qRound(layer.velocity))
                                    : QStringLiteral("%1@%2")
                                          .arg(qRound(layer.velocity))
                                          .arg(qRound(layer.fromOffset)));
    return layers.join(' ') + " | " + QString::number(qRound(model.layers().first().intercept));
}

} // namespace

class tst_RefractorModel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Surveys written by fbgen with a planted model; the trend of 10 m bins is fitted.
    void plantedSurveys_data()
    {
        QTest::addColumn<QString>("survey");
        QTest::addColumn<QString>("layers");  // planted: velocities and their crossovers
        QTest::addColumn<double>("intercept"); // planted first intercept, ms
        const auto row = [](const char *name, const char *survey, const char *layers,
                            double intercept) {
            QTest::newRow(name) << QString(survey) << QString(layers) << intercept;
        };
        const char *clean = "--noise 0 --statics 0 --error-share 0 --negative-share 0 -n 200000";
        const char *rough = "--noise 4 --statics 15 --wild-share 0.08 --error-share 0.05 -n 300000";
        row("one layer, clean", clean, "2500", 0);
        row("a straight line under noise and wild picks is not split", rough, "2500", 30);
        row("two layers of contrast 1.5x, rough", rough, "2000,3000:1400", 20);
        row("three layers, rough", rough, "1600,2600:500,4500:1500", 15);
        row("short first layer of 180 m", rough, "1500,2400:180,5000:1100", 10);
        row("four layers, last 100 m at 1.5x", rough, "1500,2300:500,3600:1400,5400:2890", 20);
        row("per-shot statics of 15 ms alone", "--noise 0 --statics 15 -n 200000",
            "1700,2900:700", 25);
    }

    void plantedSurveys()
    {
        QFETCH(QString, survey);
        QFETCH(QString, layers);
        QFETCH(double, intercept);
        const QString arguments = QStringLiteral("%1 --layers %2 --intercept %3 planted.fb");
        runOk("fbgen", arguments.arg(survey, layers).arg(intercept), m_dir.path());
        RefractorModel model;
        const QString tallied = fitFile(m_dir.filePath("planted.fb"), model);
        QVERIFY2(model.isValid(), qPrintable(model.reason()));
        const QStringList planted = layers.split(',');
        QCOMPARE(said(model).count(' '), planted.size() + 1); // the layer count
        const QVector<RefractorModel::Layer> &fitted = model.layers();
        for (int k = 0; k < planted.size(); ++k) {
            const double velocity = planted.at(k).section(':', 0, 0).toDouble();
            const double from = planted.at(k).section(':', 1, 1).toDouble();
            const double to = k + 1 < planted.size()
                                  ? planted.at(k + 1).section(':', 1, 1).toDouble()
                                  : fitted.last().toOffset;
            const double tolerance = (to - from >= 300 ? 0.02 : 0.05) * velocity;
            QVERIFY2(qAbs(fitted.at(k).velocity - velocity) <= tolerance, qPrintable(said(model)));
            if (k > 0)
                QVERIFY2(qAbs(fitted.at(k).fromOffset - from) <= 30, qPrintable(said(model)));
        }
        QVERIFY2(qAbs(fitted.first().intercept - intercept) <= 4, qPrintable(said(model)));
        for (int k = 1; k < fitted.size(); ++k)
            QCOMPARE(fitted.at(k).fromOffset, fitted.at(k - 1).toOffset);
        // Every judged pick in a layer; half within the noise, the statics and a wild share.
        QCOMPARE(tallied.section(' ', 0, 0), QString("0"));
        QVERIFY2(tallied.section(' ', 1).toDouble() < 10.0, qPrintable(tallied));
    }

    // Files through the whole path that give no model, or fewer layers than their times bend.
    void edgeFiles_data()
    {
        QTest::addColumn<QString>("survey"); // fbgen's arguments, or picks as offset:count ...
        QTest::addColumn<QString>("model");  // the layer count, or the reason for none
        QTest::newRow("ten bins of 19 picks and two of 20")
            << "15:19 25:19 35:19 45:19 55:19 65:19 75:19 85:19 95:19 105:19 115:20 125:20"
            << "too few judged trend bins (2 of at least 10): no refractor model";
        // Raw slopes would give 3000 m/s, then 2000 m/s: one layer instead.
        QTest::newRow("a slower layer below") << "--layers 3000,2000:1500 -n 200000" << "1";
    }

    void edgeFiles()
    {
        QFETCH(QString, survey);
        const QString file = m_dir.filePath("edge.fb");
        if (survey.startsWith("--")) {
            runOk("fbgen", survey + " " + file, m_dir.path());
        } else {
            QVector<FBPick> picks;
            for (const QString &group : survey.split(' '))
                for (int k = 0; k < group.section(':', 1).toInt(); ++k)
                    picks.append({group.section(':', 0, 0).toInt(), 100.0f + k % 7, 0});
            QVERIFY(writeFile(file, fbBytes(0, 3000, picks)));
        }
        RefractorModel model;
        fitFile(file, model);
        QTEST(model.isValid() ? QString::number(model.layers().size()) : model.reason(), "model");
    }

    // Bins given directly: 10 m wide, from 5 m on, weight 100, time rising from 10 ms by the
    // slopes given in ms per m each from its offset on.
    void edges_data()
    {
        QTest::addColumn<int>("bins");
        QTest::addColumn<QString>("slopes"); // "slope" or "slope@from" in ms/m, m
        QTest::addColumn<QString>("model");
        QTest::newRow("9 bins") << 9 << "0.5"
                                << "too few judged trend bins (9 of at least 10): no refractor "
                                   "model";
        QTest::newRow("10 bins bent in the middle: two layers of 5 bins")
            << 10 << "0.5 0.25@50" << "2000 4000@50 | 10";
        for (const char *slope : {"-0.2", "0.009"}) // falling, or flatter than 100 km/s
            QTest::newRow(slope) << 50 << slope
                                 << "the trend does not rise with offset: no refractor model";
        // The second layer is slower: its slope would give a decreasing velocity, so the two
        // merge into one line, of a velocity between theirs (1667 and 2000 m/s) that meets the
        // third layer a little past its crossover; the third layer's 5000 m/s is kept.
        QTest::newRow("a slower second layer merges")
            << 150 << "0.5 0.6@500 0.2@1000" << "1809 5001@1031 | -4";
        QTest::newRow("a layer of 50 m and 5 bins") << 100 << "0.5 0.25@950" << "2000 4000@950 | 10";
        // A layer of 40 m is too short: the second one starts at 950 m, 50 m from the end, and
        // takes a velocity between the first's and the bent bins'.
        QTest::newRow("a layer of 40 m is stretched to 50 m")
            << 100 << "0.5 0.25@960" << "2000 3118@950 | 10";
    }

    void edges()
    {
        QFETCH(int, bins);
        QFETCH(QString, slopes);
        Bins input;
        for (int b = 0; b < bins; ++b) {
            const double x = 5 + 10 * b;
            double time = 10, slope = 0, from = 0;
            for (const QString &part : slopes.split(' ')) {
                const double next = part.section('@', 1, 1).toDouble();
                if (x > next) {
                    time += slope * (next - from);
                    slope = part.section('@', 0, 0).toDouble();
                    from = next;
                }
            }
            input.append({x, time + slope * (x - from), 100});
        }
        RefractorModel model;
        model.fit(input, 0, 10 * bins);
        QTEST(said(model), "model");
    }

    // The report's shape, on bins exactly on two layers; picks from a tally of their own.
    void jsonAndTally()
    {
        Bins input;
        for (int x = 5; x < 1000; x += 10)
            input.append({double(x), x < 400 ? 10 + 0.5 * x : 110 + 0.25 * x, 50});
        RefractorModel model;
        QVERIFY(model.fit(input, 0, 1000));
        RefractorTally tally(model);
        tally.add(-100, 61);     // 1 ms late, first layer on the negative side
        tally.add(399, 209, 3);  // 0.5 ms early
        tally.add(420, 213);     // 2 ms early, the second layer
        tally.add(990, 400, 2);  // 2.5 ms early
        QCOMPARE(QJsonDocument(model.toJson(tally).toObject()).toJson(QJsonDocument::Compact),
                 QByteArray("{\"layers\":[{\"fromOffset\":0,\"intercept\":10,\"pickCount\":4,"
                            "\"toOffset\":400,\"velocity\":2000},{\"fromOffset\":400,\"intercept\":"
                            "110,\"pickCount\":3,\"toOffset\":1000,\"velocity\":4000}],"
                            "\"medianAbsResidual\":1}"));
        QCOMPARE(model.timeAt(-2000), 610.0);
        QVERIFY(model.toJson(RefractorTally(model))["medianAbsResidual"].isNull());
        RefractorModel none;
        none.fit(input.mid(0, 3), 0, 30);
        QVERIFY(none.toJson(RefractorTally(none)).isNull());
    }
};

QTEST_GUILESS_MAIN(tst_RefractorModel)
#include "tst_RefractorModel.moc"
