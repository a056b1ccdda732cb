#include "OrderedPool.h"

#include <QtTest>
#include <atomic>
#include <numeric>
#include <stdexcept>

class tst_OrderedPool : public QObject
{
    Q_OBJECT

private slots:
    // Every item works once and takes its turn in order, over uneven work.
    void turnsComeInOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lanes");
        QTest::newRow("no item") << 0 << 2;
        QTest::newRow("one lane") << 50 << 1;
        QTest::newRow("more lanes than items") << 3 << 8;
        QTest::newRow("many items") << 5000 << 4;
    }
    void turnsComeInOrder()
    {
        QFETCH(int, count);
        QFETCH(int, lanes);
        QVector<int> turns;
        std::atomic<bool> allTurns{true};
        OrderedPool pool(count);
        pool.run(lanes, [&](int item, int) {
            qint64 value = item;
            for (int k = 0; k < item % 7 * 1000; ++k) // uneven work, so lanes overtake
                value = (value * 31 + k) % 1000003;
            allTurns = pool.inTurn(item, [&] { turns.append(value >= 0 ? item : -1); }) && allTurns;
        });
        QVERIFY(allTurns);
        QVector<int> expected(count);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(turns, expected);
    }

    // A failing item stops the run: its exception reaches the caller, and no later turn runs.
    void aFailureReachesTheCaller()
    {
        int last = -1;
        OrderedPool pool(1000);
        QVERIFY_EXCEPTION_THROWN(pool.run(2,
                                          [&](int item, int) {
                                              if (item == 500)
                                                  throw std::runtime_error("no");
                                              pool.inTurn(item, [&] { last = item; });
                                          }),
                                 std::runtime_error);
        QVERIFY(last < 500);
    }
};

QTEST_GUILESS_MAIN(tst_OrderedPool)
#include "tst_OrderedPool.moc"
