#include "CrossPlotModel.h"
#include "TestSupport.h"

#include <QtTest>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A model of param's file, loaded, its grid counted and its matrix built at point size 4, as a
// window opened on it has them.
CrossPlotFigures opened(CrossPlotModel &model)
{
    model.load();
    model.buildGrid();
    model.buildMatrix(4);
    return model.figures();
}

QString cells(const DensityGrid::Result &grid)
{
    QStringList said;
    for (int k = 0; k < grid.occupiedCount; ++k)
        said << QStringLiteral("%1,%2:%3")
                    .arg(grid.cells[k].offsetEdge)
                    .arg(grid.cells[k].timeEdge)
                    .arg(grid.cells[k].count);
    return said.join(' ');
}

} // namespace

class tst_CrossPlotModel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void cleanup() { qunsetenv("CROSSPLOT_MEMORY_AVAILABLE"); }

    // One read for two classes gives each the figures and grid of a read of its own, and the sum
    // of their grids is the grid of both classes read together.
    void classesInOnePass_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("minOffset");
        QTest::addColumn<int>("maxOffset");
        QTest::addColumn<QString>("both"); // the Both figures, literally
        QVector<FBPick> picks;
        for (int i = 0; i < 5000; ++i)
            picks.append({(i % 2 ? -1 : 1) * (i * 37 % 2000), float(i % 700) + 0.5f,
                          i % 9 == 0 ? 2 + i % 3 : (i % 5 == 0 ? -1 : 1)});
        // 5000 picks, and 1000 more records announced past the end: picks at 0 m, 0 ms.
        QTest::newRow("classes mixed, records missing at the end")
            << fbBytes(0, 2000, picks, 6000) << 0 << 0
            << "{\"recordCount\": 6000, \"offsetLow\": 0, \"offsetHigh\": 2000, \"pickCount\": "
               "6000, \"timeMax\": 799, \"cellCount\": 99500, \"densityMax\": 20, "
               "\"matrixColumns\": 500, \"matrixRows\": 199}";
        QTest::newRow("offset limits cut the zero picks out")
            << fbBytes(0, 2000, picks, 6000) << 500 << 1500
            << "{\"recordCount\": 6000, \"offsetLow\": 500, \"offsetHigh\": 1500, \"pickCount\": "
               "2500, \"timeMax\": 799, \"cellCount\": 49750, \"densityMax\": 20, "
               "\"matrixColumns\": 250, \"matrixRows\": 199}";
        QTest::newRow("error picks only")
            << fbBytes(0, 100, {{10, 30.0f, 2}, {20, 40.0f, 5}}) << 0 << 0
            << "{\"recordCount\": 2, \"offsetLow\": 0, \"offsetHigh\": 100, \"pickCount\": 2, "
               "\"timeMax\": 140, \"cellCount\": 875, \"densityMax\": 20, \"matrixColumns\": 25, "
               "\"matrixRows\": 35}";
    }

    void classesInOnePass()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, minOffset);
        QFETCH(int, maxOffset);
        const QString name = m_dir.filePath("classes.fb");
        QVERIFY(writeFile(name, file));
        const auto withClass = [&](bool correct, bool error, bool all) {
            return CrossPlotParam{name, correct, error, all, false, 4, minOffset, maxOffset};
        };
        CrossPlotModel correct(withClass(true, false, false)), error(withClass(false, true, false));
        CrossPlotModel::loadByClass(correct, error);
        for (CrossPlotModel *split : {&correct, &error}) {
            split->buildGrid();
            split->buildMatrix(4);
            CrossPlotModel alone(split->param());
            QCOMPARE(opened(alone).toJsonLine(), split->figures().toJsonLine());
            QCOMPARE(cells(split->grid()), cells(alone.grid()));
        }
        CrossPlotModel all(withClass(false, false, true));
        const CrossPlotFigures together = opened(all);
        QTEST(QString(together.toJsonLine()), "both");
        const DensityGrid::Result sum =
            DensityGrid::sum(correct.grid(), error.grid(), all.offsetLow(), all.offsetHigh());
        QCOMPARE(cells(sum), cells(all.grid()));
        QCOMPARE((QVector<qint64>{sum.timeMax, sum.cellCount, sum.densityMax}),
                 (QVector<qint64>{together.timeMax, together.cellCount, together.densityMax}));
    }

    // What could not be drawn is said in the order of the work: picks, then the matrix.
    void noticesInTheirOrder()
    {
        const QString name = m_dir.filePath("two.fb");
        QVERIFY(writeFile(name, fbBytes(0, 100, {{10, 1e12f, 0}, {20, 5.0f, 0}})));
        CrossPlotModel model(CrossPlotParam{name});
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", "9"); // one pick's offset and time, and the store's eighth
        model.load();
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        model.buildGrid();
        model.buildMatrix(4);
        QCOMPARE(model.notice(),
                 "Only 1 of the 2 accepted picks are drawn: the rest do not fit in the memory "
                 "available. A narrower offset range would draw them all.\n\nThe density cannot be "
                 "drawn at point size 4: its matrix of 25 x 536,870,912 cells is larger than one "
                 "matrix can hold (268,435,447 cells). A larger point size or a narrower offset "
                 "range would help.");
    }

    // The sum with a grid that memory refused is refused, in either order, for all its cells.
    void sumWithARefusedGrid()
    {
        const auto grid = [](const char *memory) {
            qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
            return DensityGrid::build({10}, {37}, 0, 100);
        };
        const DensityGrid::Result counted = grid("1000000"), refused = grid("0");
        for (const auto &sum : {DensityGrid::sum(counted, refused, 0, 100),
                                DensityGrid::sum(refused, counted, 0, 100)})
            QCOMPARE(QVector<qint64>({sum.occupiedCount, sum.cellCount, sum.refusedBytes}),
                     QVector<qint64>({0, 850, 3400}));
    }

    // Room is kept for the records on file, not for all that the header announces: two billion
    // picks' room would not fit in the address space left here, and every pick would be dropped.
    void loadByClassKeepsRoomForTheRecordsOnFile()
    {
        const QString name = m_dir.filePath("announced.fb");
        QVERIFY(writeFile(name, fbBytes(0, 100, {{10, 5.0f, 0}, {20, 6.0f, 2}}, 2000000000)));
        CrossPlotModel correct(CrossPlotParam{name}), error(CrossPlotParam{name});
        QFile statm("/proc/self/statm");
        QVERIFY(statm.open(QIODevice::ReadOnly));
        rlimit limit{}, low{};
        getrlimit(RLIMIT_AS, &limit);
        low = limit;
        low.rlim_cur =
            statm.readAll().split(' ').value(0).toULongLong() * rlim_t(sysconf(_SC_PAGESIZE)) +
            (1u << 30);
        QCOMPARE(setrlimit(RLIMIT_AS, &low), 0);
        CrossPlotModel::loadByClass(correct, error);
        setrlimit(RLIMIT_AS, &limit);
        QCOMPARE(correct.picks().offsets + error.picks().offsets, QVector<int>({10, 20}));
    }

    // A matrix that memory refuses leaves the one built before; the next that fits replaces it.
    // One pick in 0..100 at 37 ms: at point size 1 the matrix is 100 x 137 doubles.
    void refusedMatrixKeepsTheLastOne_data()
    {
        QTest::addColumn<QByteArray>("memory");
        QTest::addColumn<QString>("shown"); // columns x rows after sizes 4, 1 and 5, and notice
        QTest::newRow("enough") << QByteArray("1M") << "25x34 100x137 20x27 ";
        QTest::newRow("too little")
            << QByteArray("60K")
            << "25x34 25x34 20x27 The density cannot be drawn at point size 1: its matrix of 100 "
               "x 137 cells needs 108.10 KiB";
    }

    void refusedMatrixKeepsTheLastOne()
    {
        QFETCH(QByteArray, memory);
        const QString name = m_dir.filePath("one.fb");
        QVERIFY(writeFile(name, fbBytes(0, 100, {{10, 37.0f, 0}})));
        CrossPlotModel model(CrossPlotParam{name});
        model.load();
        model.buildGrid();
        QStringList shown;
        QString notice;
        for (const int size : {4, 1, 5}) {
            if (size == 1)
                qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
            model.buildMatrix(size);
            if (size == 1)
                notice = model.notice().section(QLatin1Char(','), 0, 0);
            qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
            const DensityMatrix &matrix = model.matrix();
            QCOMPARE(matrix.values.size(), matrix.columns * matrix.rows);
            shown << QStringLiteral("%1x%2").arg(matrix.columns).arg(matrix.rows);
        }
        QVERIFY(model.notice().isEmpty());
        QTEST(shown.join(' ') + ' ' + notice, "shown");
    }
};

QTEST_GUILESS_MAIN(tst_CrossPlotModel)
#include "tst_CrossPlotModel.moc"
