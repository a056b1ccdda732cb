#include "OrderedPool.h"

#include <QtTest>
#include <numeric>
#include <stdexcept>
#include <vector>

class tst_OrderedPool : public QObject
{
    Q_OBJECT

private slots:
    // Every item is taken once, in order, with what its own work left in its slot.
    void takesEachItemInOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lanes");
        QTest::addColumn<int>("window");
        QTest::newRow("no item") << 0 << 2 << 4;
        QTest::newRow("one lane") << 50 << 1 << 2;
        QTest::newRow("window of one") << 300 << 2 << 1;
        QTest::newRow("more lanes than items") << 3 << 8 << 16;
        QTest::newRow("many items") << 5000 << 4 << 8;
    }
    void takesEachItemInOrder()
    {
        QFETCH(int, count);
        QFETCH(int, lanes);
        QFETCH(int, window);
        std::vector<qint64> results(size_t(qMax(1, window)), -1);
        QVector<qint64> taken;
        OrderedPool::run(
            count, lanes, window,
            [&](int item, int) {
                qint64 value = item;
                for (int k = 0; k < item % 7 * 1000; ++k) // uneven work, so lanes overtake
                    value = (value * 31 + k) % 1000003;
                results[size_t(item % window)] = qint64(item) * 1000003 + value;
            },
            [&](int item) { taken.append(results[size_t(item % window)] / 1000003); });
        QVector<qint64> expected(count);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(taken, expected);
    }

    // A failing item stops the run: its exception reaches the caller, and no item after it is
    // taken.
    void aFailureReachesTheCaller()
    {
        int last = -1;
        QVERIFY_EXCEPTION_THROWN(OrderedPool::run(
                                     1000, 2, 4,
                                     [](int item, int) {
                                         if (item == 500)
                                             throw std::runtime_error("no");
                                     },
                                     [&](int item) { last = item; }),
                                 std::runtime_error);
        QVERIFY(last < 500);
    }
};

QTEST_GUILESS_MAIN(tst_OrderedPool)
#include "tst_OrderedPool.moc"
