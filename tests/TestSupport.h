#pragma once

// What several suites do alike: say what a widget shows, write FB files, act as a user, run a tool.

#include <QtTest>
#include <QtWidgets>
#include <functional>

// ---- Widgets, seen and driven as a user does ----

// One line of what the user sees: the parts that are not empty, separated by blanks.
template <class... Parts> QString say(const Parts &...parts)
{
    QStringList said{QVariant(parts).toString()...};
    said.removeAll(QString());
    return said.join(' ');
}

inline QString size(const QSize &size)
{
    return QString::number(size.width()) + "x" + QString::number(size.height());
}

template <class Enum> QString key(Enum value)
{
    return QMetaEnum::fromType<Enum>().valueToKey(int(value));
}

// The top-level widget of the class that act showed.
inline QWidget *newTopLevel(const char *className, const std::function<void()> &act)
{
    const QWidgetList before = QApplication::topLevelWidgets();
    act();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (!before.contains(widget) && widget->isVisible() && widget->inherits(className))
            return widget;
    return nullptr;
}

// Triggers a plug-in's action as the host's menu does; returns the dialog that it showed.
template <class Plugin> QDialog *openDialog(const Plugin &plugin)
{
    return static_cast<QDialog *>(newTopLevel("CrossPlotDialog", [&plugin] {
        std::unique_ptr<QAction>(plugin.createAction())->trigger();
    }));
}

// Lets the user act, and answers each menu or modal dialog from inside its own loop. Every poll
// is a timer of its own: Qt does not fire a timer again while its slot runs a nested loop.
inline void whileModal(const std::function<void()> &act,
                       const std::function<void(QWidget *)> &answer)
{
    QObject polls; // ends the polling when it goes
    std::function<void()> poll = [&] {
        QTimer::singleShot(10, &polls, poll);
        QWidget *popup = QApplication::activePopupWidget();
        if (QWidget *modal = popup ? popup : QApplication::activeModalWidget())
            answer(modal);
    };
    QTimer::singleShot(10, &polls, poll);
    act();
}

// Answers a file dialog with a name (an empty one cancels); says its title, filters and folder.
inline QString answerFiles(QWidget *modal, const QString &name, const QString &folder)
{
    auto *files = qobject_cast<QFileDialog *>(modal);
    if (!files) {
        modal->close(); // nothing else may open: the rows then show what is missing
        return modal->metaObject()->className();
    }
    const QString said = say(files->windowTitle(), "|", files->nameFilters().join(';'), "|",
                             files->directory() == QDir(folder) ? "project" : "?");
    files->findChild<QLineEdit *>("fileNameEdit")->setText(name);
    name.isEmpty() ? files->reject() : static_cast<QDialog *>(files)->accept();
    return said;
}

// ---- Files ----

inline bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file's bytes; empty when it cannot be read.
inline QByteArray readBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct FBPick
{
    qint32 offset;
    float time;
    qint32 fbClass;
};

// An FB file: a 16-byte header (record count, an unused word, the offset range) and 84-byte
// records with the offset at byte 8, the time as float32 at 60 and the class at 64. The header
// announces count records, or as many as there are picks when count is -1.
inline QByteArray fbBytes(qint32 lowOffset, qint32 highOffset, const QVector<FBPick> &picks = {},
                          qint32 count = -1)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << (count == -1 ? qint32(picks.size()) : count) << qint32(0) << lowOffset << highOffset;
    for (const FBPick &pick : picks) {
        out << qint64(0) << pick.offset;
        out.writeRawData(QByteArray(48, '\0').constData(), 48);
        out << pick.time << pick.fbClass << qint64(0) << qint64(0);
    }
    return bytes;
}

// ---- Command-line tools, run as a user runs them ----

struct ToolRun
{
    int exitCode = -1; // -1: did not finish normally
    QString out, err;
};

// Runs program in dir (empty: the current one).
inline ToolRun
runTool(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QString &dir = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.start(program, arguments);
    const bool finished =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// program with file piped into its standard input, as `cat file | program arguments` does, so
// that the input cannot seek.
inline ToolRun runPiped(const QString &file, const QString &program, const QStringList &arguments,
                        const QString &dir)
{
    return runTool("/bin/sh", QStringList{"-c", "cat \"$0\" | \"$@\"", file, program} + arguments,
                   QProcessEnvironment::systemEnvironment(), dir);
}

// One of our tools from the build, with its arguments split at blanks.
inline ToolRun runBuiltTool(const QString &tool, const QString &arguments, const QString &dir)
{
    return runTool(CROSSPLOT_BIN_DIR "/" + tool, arguments.split(' ', Qt::SkipEmptyParts),
                   QProcessEnvironment::systemEnvironment(), dir);
}

// Runs one of our tools that must succeed; says its stderr when it fails.
inline void runOk(const QString &tool, const QString &arguments, const QString &dir)
{
    const ToolRun run = runBuiltTool(tool, arguments, dir);
    QVERIFY2(run.exitCode == 0, qPrintable(tool + " " + arguments + ": " + run.err));
}

// A table of a tool's command lines: the arguments (split at blanks), the exit code and a text
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
inline void checkToolRow(const QString &tool, const QString &dir)
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const ToolRun run = runBuiltTool(tool, arguments, dir);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((run.out + run.err).contains(output), qPrintable(run.out + run.err));
    // A refused command line is said in one line, not buried in the help text; bad input among
    // good files leaves the good ones' output.
    if (run.exitCode == 2 && !run.out.contains(output))
        QVERIFY2(run.err.count('\n') == 1 && run.out.isEmpty(), qPrintable(run.err));
}

// A committed catalogue: lupdate leaves it untouched only when it holds exactly the texts that
// the sources show today, each finished, and the compiled one is what lrelease makes of it.
inline void checkCatalogue(const QString &committed, const QStringList &sources,
                           const QString &compiled)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh.ts");
    QVERIFY(QFile::copy(committed, fresh));
    QCOMPARE(runTool(QT_TOOLS_DIR "/lupdate",
                     QStringList{"-silent", "-no-obsolete", "-locations", "none"} + sources +
                         QStringList{"-ts", fresh})
                 .exitCode,
             0);
    const QByteArray catalogue = readBytes(committed);
    QCOMPARE(readBytes(fresh), catalogue); // else run the update_*translations target
    QVERIFY(!catalogue.contains(" type=\"") && !catalogue.contains("<translation></translation>"));
    const QString qm = dir.filePath("fresh.qm");
    QCOMPARE(runTool(QT_TOOLS_DIR "/lrelease", {"-silent", committed, "-qm", qm}).exitCode, 0);
    QCOMPARE(readBytes(compiled), readBytes(qm));
}
