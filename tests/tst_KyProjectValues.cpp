#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

QString storeFile(const QTemporaryDir &dir)
{
    return dir.filePath("project-values.json");
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size();
}

} // namespace

class tst_KyProjectValues : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { KyProjectManager::instance().closeProject(); }

    void roundTripKeepsType_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("string") << QVariant("/data/line 12/picks.fb");
        QTest::newRow("empty string") << QVariant(QString());
        QTest::newRow("string with quotes, newline, umlaut") << QVariant("a \"b\"\nc\\d ü");
        QTest::newRow("string that looks like a number") << QVariant("42");
        QTest::newRow("int") << QVariant(7000);
        QTest::newRow("negative int") << QVariant(-2147483647 - 1);
        QTest::newRow("bool true") << QVariant(true);
        QTest::newRow("bool false") << QVariant(false);
    }

    void roundTripKeepsType()
    {
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        KyProjectManager &manager = KyProjectManager::instance();
        QVERIFY(manager.openProject(dir.path()));
        QVERIFY(KyBaseUtil::setProjectValue("key", value));
        manager.closeProject();
        QCOMPARE(KyBaseUtil::projectValue("key", "closed"), QVariant("closed"));
        QVERIFY(manager.openProject(dir.path()));
        const QVariant back = KyBaseUtil::projectValue("key", QVariant(12345.5));
        QCOMPARE(back.userType(), value.userType());
        QCOMPARE(back, value);
    }

    void unparsableStoreIsLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("garbage") << QByteArray("this is not a store\n");
        QTest::newRow("truncated JSON")
            << QByteArray("{\"format\": \"kyhost-project-values/1\", \"values\": {\"k\": {\"ty");
        QTest::newRow("JSON array") << QByteArray("[1, 2, 3]");
        QTest::newRow("foreign JSON object")
            << QByteArray("{\"k\": {\"type\": \"int\", \"value\": 1}}");
        QTest::newRow("empty file") << QByteArray();
    }

    void unparsableStoreIsLeftUntouched()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        QFile file(storeFile(dir));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        file.close();
        QVERIFY(KyProjectManager::instance().openProject(dir.path()));
        QCOMPARE(KyBaseUtil::projectValue("k", 9), QVariant(9));
        QVERIFY(!KyBaseUtil::setProjectValue("k", 1));
        QCOMPARE(readAll(storeFile(dir)), contents);
        QCOMPARE(filesIn(dir), 1);
    }

    void writesMergeWithEarlierValues()
    {
        // Two dialogs that each loaded the store before either saved must not erase each
        // other's keys: every write starts from what the file holds now.
        QTemporaryDir dir;
        QVERIFY(KyProjectManager::instance().openProject(dir.path()));
        QVERIFY(KyBaseUtil::setProjectValue("a", 1));
        QVERIFY(KyBaseUtil::setProjectValue("b", "two"));
        QVERIFY(KyBaseUtil::setProjectValue("a", 3));
        QCOMPARE(KyBaseUtil::projectValue("a"), QVariant(3));
        QCOMPARE(KyBaseUtil::projectValue("b"), QVariant("two"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"project-values.json"});
    }

    void unwritableProjectRefusesAndKeepsValues()
    {
        QTemporaryDir dir;
        QVERIFY(KyProjectManager::instance().openProject(dir.path()));
        QVERIFY(KyBaseUtil::setProjectValue("a", 1));
        const QByteArray before = readAll(storeFile(dir));
        // Permission bits do not stop root, so root makes the directory immutable instead.
        const auto setWritable = [&dir](bool writable) {
            if (geteuid() == 0)
                return QProcess::execute("chattr", {writable ? "-i" : "+i", dir.path()}) == 0;
            const QFile::Permissions readable = QFile::ReadOwner | QFile::ExeOwner;
            return QFile::setPermissions(dir.path(),
                                         writable ? readable | QFile::WriteOwner : readable);
        };
        if (!setWritable(false))
            QSKIP("cannot make the project directory read-only here");
        const bool written = KyBaseUtil::setProjectValue("a", 2);
        QVERIFY(setWritable(true));
        QVERIFY(!written);
        QCOMPARE(readAll(storeFile(dir)), before);
        QCOMPARE(KyBaseUtil::projectValue("a"), QVariant(1));
        QCOMPARE(filesIn(dir), 1);
    }

    void failedOpenLeavesNoProject_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing directory") << "no-such-dir";
        QTest::newRow("plain file") << "project-values.json";
        QTest::newRow("empty path") << QString();
    }

    void failedOpenLeavesNoProject()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        KyProjectManager &manager = KyProjectManager::instance();
        QVERIFY(manager.openProject(dir.path()));
        QVERIFY(KyBaseUtil::setProjectValue("k", 5));
        manager.closeProject();
        QVERIFY(!manager.openProject(name.isEmpty() ? name : dir.filePath(name)));
        QVERIFY(!manager.errorString().isEmpty());
        QVERIFY(manager.define().projectPath.isEmpty());
        QCOMPARE(KyBaseUtil::projectValue("k", 4), QVariant(4));
        QVERIFY(!KyBaseUtil::setProjectValue("k", 6));
    }
};

QTEST_GUILESS_MAIN(tst_KyProjectValues)
#include "tst_KyProjectValues.moc"
