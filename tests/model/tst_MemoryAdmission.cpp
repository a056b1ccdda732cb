#include "FBLoader.h"
#include "MemoryAdmission.h"
#include "PickTrend.h"

#include <QtTest>

// What the admission reads comes from a tree of /proc and cgroup files written for each row;
// the rlimits are given, so that nothing of the machine that runs the test leaks in. Each limit
// keeps back a sixteenth of itself, 16 to 256 MiB: 64 MiB of 1 GiB, 16 MiB of 120 MiB.
class tst_MemoryAdmission : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Writes "path=content" files under a fresh root and reads from there.
    void plant(const QStringList &files)
    {
        QDir(dir.path()).removeRecursively();
        for (const QString &file :
             QStringList{"/proc/meminfo=MemAvailable:   10000000 kB\n",
                         "/proc/self/status=VmSize:\t1000 kB\nVmData:\t500 kB\n"} +
                 files) {
            const QString path = dir.path() + file.section('=', 0, 0);
            QDir().mkpath(QFileInfo(path).path());
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file.section('=', 1).toUtf8());
        }
        MemoryAdmission::setRoot(dir.path());
    }

private slots:
    void cleanup()
    {
        MemoryAdmission::setRoot("/");
        MemoryAdmission::setResourceLimits(-1, -1);
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
    }

    void available_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<qint64>("addressLimit");
        QTest::addColumn<qint64>("dataLimit");
        QTest::addColumn<qint64>("available");
        constexpr qint64 none = MemoryAdmission::Unbounded;
        const QString v2 = "/proc/self/mountinfo=24 1 0:5 / /proc rw - proc proc rw\n"
                           "30 25 0:26 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw\n";
        const QString v1 = "/proc/self/mountinfo=35 31 0:32 / /sys/fs/cgroup/my\\040memory "
                           "rw,relatime - cgroup cgroup rw,cpu,memory\n";
        const QString inV2 = "/proc/self/cgroup=0::/a/b\n";
        const QString inV1 = "/proc/self/cgroup=5:devices:/x\n4:cpu,memory:/a/b\n";
        const QString a2 = "/sys/fs/cgroup/a/", b2 = a2 + "b/";
        const QString a1 = "/sys/fs/cgroup/my memory/a/", b1 = a1 + "b/";
        const auto row = [&](const char *name, const QStringList &files, qint64 available,
                             qint64 as = MemoryAdmission::Unbounded,
                             qint64 data = MemoryAdmission::Unbounded) {
            QTest::newRow(name) << files << as << data << available;
        };
        row("no cgroup: MemAvailable", {}, 10240000000);
        row("v2 max against current less the file cache",
            {v2, inV2, b2 + "memory.max=1073741824\n", b2 + "memory.current=419430400\n",
             b2 + "memory.stat=anon 9\ninactive_file 62914560\nactive_file 41943040\n"},
            692060160);
        row("v2 high below max binds",
            {v2, inV2, b2 + "memory.max=max\n", b2 + "memory.high=838860800",
             b2 + "memory.current=314572800"},
            471859200);
        row("v2 parent binds tighter than the leaf",
            {v2, inV2, b2 + "memory.max=1073741824", b2 + "memory.current=0",
             a2 + "memory.max=629145600", a2 + "memory.current=524288000"},
            65536000);
        row("v2 max everywhere: no cgroup limit",
            {v2, inV2, b2 + "memory.max=max\n", a2 + "memory.max=max", a2 + "memory.high=max"},
            10240000000);
        row("v2 usage past the limit: nothing",
            {v2, inV2, b2 + "memory.max=1000", b2 + "memory.current=5000"}, 0);
        // A container sees its own cgroup as the mount's root; the decoy at the full path is
        // never read.
        row("v2 mount root is the container's cgroup",
            {"/proc/self/mountinfo=30 25 0:26 /kube/pod /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n",
             "/proc/self/cgroup=0::/kube/pod/app\n", "/sys/fs/cgroup/app/memory.max=314572800",
             "/sys/fs/cgroup/app/memory.current=0", "/sys/fs/cgroup/kube/pod/app/memory.max=1"},
            294912000);
        row("v1 limit against usage less the hierarchy's file cache",
            {v1, inV1, b1 + "memory.limit_in_bytes=125829120\n",
             b1 + "memory.usage_in_bytes=25829120\n",
             b1 + "memory.stat=inactive_file 999999\ntotal_inactive_file 1000\ntotal_active_file "
                  "0\n"},
            83223784);
        row("v1 without totals: the group's own file cache",
            {v1, inV1, b1 + "memory.limit_in_bytes=125829120",
             b1 + "memory.usage_in_bytes=25829120",
             b1 + "memory.stat=inactive_file 1000\nactive_file 1000\n"},
            83224784);
        row("v1 parent binds tighter than the leaf",
            {v1, inV1, b1 + "memory.limit_in_bytes=209715200", b1 + "memory.usage_in_bytes=0",
             a1 + "memory.limit_in_bytes=104857600", a1 + "memory.usage_in_bytes=4857600"},
            83222784);
        // The kernel's unlimited is LONG_MAX rounded to pages; from 2^62 on, no limit.
        row("v1 limit of exactly 2^62 is no limit",
            {v1, inV1, b1 + "memory.limit_in_bytes=4611686018427387904",
             b1 + "memory.usage_in_bytes=5"},
            10240000000);
        row("v1 of 8 GiB keeps at most 256 MiB back",
            {v1, inV1, b1 + "memory.limit_in_bytes=8589934592", b1 + "memory.usage_in_bytes=0"},
            8321499136);
        row("RLIMIT_AS against VmSize", {}, 1005608960, 1073741824);
        row("RLIMIT_DATA against VmData", {}, 589312000, none, 629145600);
        row("RLIMIT_DATA below VmData: nothing", {}, 0, none, 500000);
    }

    // Each row's figure is admitted to the byte, one byte more is refused.
    void available()
    {
        QFETCH(QStringList, files);
        QFETCH(qint64, addressLimit);
        QFETCH(qint64, dataLimit);
        plant(files);
        MemoryAdmission::setResourceLimits(addressLimit, dataLimit);
        QTEST(MemoryAdmission::available(), "available");
        QFETCH(qint64, available);
        QVERIFY(MemoryAdmission::admits(available) && !MemoryAdmission::admits(available + 1));
    }

    // The forced figure is what the machine had before the process admitted anything: what the
    // grants hold is taken off it, and given back with the last copy of each grant.
    void ledger()
    {
        plant({});
        MemoryAdmission::setResourceLimits(MemoryAdmission::Unbounded, MemoryAdmission::Unbounded);
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", "1K");
        MemoryAdmission::Grant first = MemoryAdmission::grant(600);
        QCOMPARE(first.bytes(), 600);
        QCOMPARE(MemoryAdmission::available(), 424);
        QVERIFY(!MemoryAdmission::grant(425).bytes() && !first.extend(425));
        MemoryAdmission::Grant copy = first;
        QVERIFY(copy.extend(424));
        QCOMPARE(first.bytes(), 1024);
        QCOMPARE(MemoryAdmission::held(), 1024);
        first.reset();
        QCOMPARE(MemoryAdmission::available(), 0); // the copy still holds it all
        copy = MemoryAdmission::Grant();
        QCOMPARE(MemoryAdmission::held(), 0);
        QCOMPARE(MemoryAdmission::available(), 1024);
    }

    // 20 picks at one time in one 100 m bin: a count per bin and millisecond (4 bytes), the bin's
    // figures (21 bytes) and a median per metre (400 bytes).
    void trendAdmitted_data()
    {
        QTest::addColumn<QByteArray>("memory");
        QTest::addColumn<QString>("error");
        QTest::newRow("425 bytes") << QByteArray("425") << QString();
        QTest::newRow("424 bytes")
            << QByteArray("424") << "not enough memory for 1 trend bins and 20 picks";
    }

    void trendAdmitted()
    {
        QFETCH(QByteArray, memory);
        FBPicks picks;
        picks.offsets = picks.fbTimes = QVector<int>(20, 1);
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", memory);
        PickTrend trend(0, 100, 50);
        const bool fitted = trend.fit(picks);
        QTEST(trend.error(), "error");
        QCOMPARE(fitted, trend.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_MemoryAdmission)
#include "tst_MemoryAdmission.moc"
