#include "KyBaseUtil.h"
#include "KyProjectManager.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

class tst_KyProjectValues : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { KyProjectManager::instance().closeProject(); }

    void roundTripKeepsType_data();
    void roundTripKeepsType();
    void unparsableStoreIsLeftUntouched_data();
    void unparsableStoreIsLeftUntouched();
    void writesMergeWithEarlierValues();
    void unwritableProjectRefusesAndKeepsValues();
    void failedOpenLeavesNoProject_data();
    void failedOpenLeavesNoProject();

private:
    static QString storeFile(const QString &directory)
    {
        return QDir(directory).filePath(QStringLiteral("project-values.json"));
    }
    static QByteArray readAll(const QString &fileName)
    {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

void tst_KyProjectValues::roundTripKeepsType_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("string") << QVariant(QStringLiteral("/data/line 12/picks.fb"));
    QTest::newRow("empty string") << QVariant(QString());
    QTest::newRow("string with quotes, newline, umlaut")
        << QVariant(QStringLiteral("a \"b\"\nc\\d ü"));
    QTest::newRow("string that looks like a number") << QVariant(QStringLiteral("42"));
    QTest::newRow("int") << QVariant(7000);
    QTest::newRow("negative int") << QVariant(-2147483647 - 1);
    QTest::newRow("bool true") << QVariant(true);
    QTest::newRow("bool false") << QVariant(false);
}

void tst_KyProjectValues::roundTripKeepsType()
{
    QFETCH(QVariant, value);
    QTemporaryDir dir;
    KyProjectManager &manager = KyProjectManager::instance();
    QVERIFY(manager.openProject(dir.path()));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("key"), value));
    manager.closeProject();
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("key"), QStringLiteral("closed")),
             QVariant(QStringLiteral("closed")));

    QVERIFY(manager.openProject(dir.path()));
    const QVariant back = KyBaseUtil::projectValue(QStringLiteral("key"), QVariant(12345.5));
    QCOMPARE(back.userType(), value.userType());
    QCOMPARE(back, value);
}

void tst_KyProjectValues::unparsableStoreIsLeftUntouched_data()
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

void tst_KyProjectValues::unparsableStoreIsLeftUntouched()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    {
        QFile file(storeFile(dir.path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QVERIFY(KyProjectManager::instance().openProject(dir.path()));
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("k"), 9), QVariant(9));
    QVERIFY(!KyBaseUtil::setProjectValue(QStringLiteral("k"), 1));
    QCOMPARE(readAll(storeFile(dir.path())), contents);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_KyProjectValues::writesMergeWithEarlierValues()
{
    // Two dialogs that each loaded the store before either saved must not erase each
    // other's keys: every write starts from what the file holds now.
    QTemporaryDir dir;
    QVERIFY(KyProjectManager::instance().openProject(dir.path()));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("a"), 1));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("b"), QStringLiteral("two")));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("a"), 3));
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("a")), QVariant(3));
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("b")), QVariant(QStringLiteral("two")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("project-values.json")});
}

void tst_KyProjectValues::unwritableProjectRefusesAndKeepsValues()
{
    QTemporaryDir dir;
    QVERIFY(KyProjectManager::instance().openProject(dir.path()));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("a"), 1));
    const QByteArray before = readAll(storeFile(dir.path()));

    // Permission bits do not stop root, so root makes the directory immutable instead.
    const bool root = geteuid() == 0;
    auto setWritable = [&](bool writable) {
        if (root)
            return QProcess::execute(
                       QStringLiteral("chattr"),
                       {writable ? QStringLiteral("-i") : QStringLiteral("+i"), dir.path()}) == 0;
        return QFile::setPermissions(dir.path(), writable ? QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ExeOwner
                                                          : QFile::ReadOwner | QFile::ExeOwner);
    };
    if (!setWritable(false))
        QSKIP("cannot make the project directory read-only here");
    const bool written = KyBaseUtil::setProjectValue(QStringLiteral("a"), 2);
    QVERIFY(setWritable(true));
    QVERIFY(!written);
    QCOMPARE(readAll(storeFile(dir.path())), before);
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("a")), QVariant(1));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void tst_KyProjectValues::failedOpenLeavesNoProject_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing directory") << QStringLiteral("no-such-dir");
    QTest::newRow("plain file") << QStringLiteral("project-values.json");
    QTest::newRow("empty path") << QString();
}

void tst_KyProjectValues::failedOpenLeavesNoProject()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(KyProjectManager::instance().openProject(dir.path()));
    QVERIFY(KyBaseUtil::setProjectValue(QStringLiteral("k"), 5));
    KyProjectManager::instance().closeProject();
    QVERIFY(!KyProjectManager::instance().openProject(name.isEmpty() ? name : dir.filePath(name)));
    QVERIFY(!KyProjectManager::instance().errorString().isEmpty());
    QVERIFY(KyProjectManager::instance().define().projectPath.isEmpty());
    QCOMPARE(KyBaseUtil::projectValue(QStringLiteral("k"), 4), QVariant(4));
    QVERIFY(!KyBaseUtil::setProjectValue(QStringLiteral("k"), 6));
}

QTEST_GUILESS_MAIN(tst_KyProjectValues)
#include "tst_KyProjectValues.moc"
