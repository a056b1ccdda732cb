#include "KyBaseUtil.h"
#include "KyProjectManager.h"
#include "TestSupport.h"

#include <unistd.h>

class tst_KyProjectValues : public QObject
{
    Q_OBJECT

    KyProjectManager &manager = KyProjectManager::instance();

private slots:
    void cleanup() { manager.closeProject(); }

    void roundTripKeepsType_data()
    {
        QTest::addColumn<QVariant>("value");
        // Plain strings, ints and both bools travel through the dialog's keys in its suite.
        QTest::newRow("empty string") << QVariant(QString());
        QTest::newRow("string with quotes, newline, umlaut") << QVariant("a \"b\"\nc\\d ü");
        QTest::newRow("string that looks like a number") << QVariant("42");
        QTest::newRow("negative int") << QVariant(-2147483647 - 1);
    }

    void roundTripKeepsType()
    {
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        QVERIFY(manager.openProject(dir.path()));
        // Every write starts from what the file holds now: two dialogs keep each other's keys.
        QVERIFY(KyBaseUtil::setProjectValue("key", value) &&
                KyBaseUtil::setProjectValue("other", 1) && KyBaseUtil::setProjectValue("other", 3));
        manager.closeProject();
        QVERIFY(manager.openProject(dir.path()));
        const QVariant back = KyBaseUtil::projectValue("key", QVariant(12345.5));
        QCOMPARE(say(back.typeName(), back, KyBaseUtil::projectValue("other")),
                 say(value.typeName(), value, 3));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"project-values.json"});
        manager.closeProject(); // and a failed open opens nothing
        for (const QString &name :
             {dir.filePath("no-such-dir"), dir.filePath("project-values.json"), QString()}) {
            QVERIFY2(!manager.openProject(name) && !manager.errorString().isEmpty(),
                     qPrintable(name));
            QVERIFY(manager.define().projectPath.isEmpty() &&
                    !KyBaseUtil::setProjectValue("k", 6) &&
                    KyBaseUtil::projectValue("key", 4) == QVariant(4));
        }
    }

    void unusableStoreIsLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: a store that the directory locks
        QTest::newRow("truncated JSON: unparsable, as an empty file")
            << QByteArray("{\"format\": \"kyhost-project-values/1\", \"values\": {\"k\": {\"ty");
        QTest::newRow("no values") << QByteArray("{\"format\": \"kyhost-project-values/1\"}");
        QTest::newRow("JSON array") << QByteArray("[1, 2, 3]");
        QTest::newRow("values without the format")
            << QByteArray("{\"values\": {\"k\": {\"type\": \"int\", \"value\": 1}}}");
        QTest::newRow("read-only project") << QByteArray();
    }

    void unusableStoreIsLeftUntouched()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString store = dir.filePath("project-values.json");
        QVERIFY(contents.isNull() || writeFile(store, contents));
        QVERIFY(manager.openProject(dir.path()));
        QVERIFY(!contents.isNull() || KyBaseUtil::setProjectValue("k", 9));
        const auto readAll = [&store] {
            QFile file(store);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
        };
        const QByteArray before = readAll();
        // Permission bits do not stop root, so root makes the directory immutable instead.
        const auto setWritable = [&dir](bool writable) {
            if (geteuid() == 0)
                return QProcess::execute("chattr", {writable ? "-i" : "+i", dir.path()}) == 0;
            const QFile::Permissions readable = QFile::ReadOwner | QFile::ExeOwner;
            return QFile::setPermissions(dir.path(),
                                         writable ? readable | QFile::WriteOwner : readable);
        };
        if (contents.isNull() && !setWritable(false))
            QSKIP("cannot make the project directory read-only here");
        const bool written = KyBaseUtil::setProjectValue("k", 1);
        QVERIFY((!contents.isNull() || setWritable(true)) && !written);
        QCOMPARE(KyBaseUtil::projectValue("k", 9), QVariant(9));
        QCOMPARE(readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"project-values.json"});
    }
};

QTEST_GUILESS_MAIN(tst_KyProjectValues)
#include "tst_KyProjectValues.moc"
