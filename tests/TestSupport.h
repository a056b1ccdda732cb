#pragma once

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QVector>
#include <QtTest>

// Helpers that several suites share. Each stands alone so that suites can add their own.
namespace TestSupport {

// ---- FB files written from a few picks ----

struct Pick
{
    qint32 offset;
    float time;
    qint32 fbClass;
};

// A header announcing count records in low..high, then one 84-byte record per pick: offset at
// byte 8, time (float32) at 60, class at 64. The other bytes are 'x', so that a reader looking
// in the wrong place sees garbage rather than a plausible zero.
inline bool writeFB(const QString &path, qint32 count, qint32 low, qint32 high,
                    const QVector<Pick> &picks)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << count << qint32(84) << low << high;
    for (const Pick &pick : picks) {
        out.writeRawData("xxxxxxxx", 8);
        out << pick.offset;
        out.writeRawData(QByteArray(48, 'x').constData(), 48);
        out << pick.time << pick.fbClass;
        out.writeRawData(QByteArray(16, 'x').constData(), 16);
    }
    return out.status() == QDataStream::Ok;
}

// ---- Command-line tools run as a user runs them ----

struct ToolRun
{
    int exitCode = -1; // -1: did not start, crashed or hung
    QByteArray out;
    QByteArray err;
};

// Runs a tool of the build's bin folder in dir.
inline ToolRun runTool(const QString &tool, const QStringList &arguments, const QString &dir)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(CROSSPLOT_BIN_DIR "/") + tool, arguments);
    ToolRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A table of a tool's command lines: the arguments (split at spaces), the exit code and a text
// that stdout or stderr holds.
inline void toolColumns()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
}

inline void toolRow(const char *name, const QString &arguments, int exitCode, const QString &output)
{
    QTest::newRow(name) << arguments << exitCode << output;
}

// Runs tool on the current row of a toolColumns() table and checks its exit code and output.
inline ToolRun checkToolRow(const QString &tool, const QString &dir)
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const ToolRun run = runTool(tool, arguments.split(' ', Qt::SkipEmptyParts), dir);
    [&] {
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(output.toUtf8()), (run.out + run.err).constData());
    }();
    return run;
}

} // namespace TestSupport
