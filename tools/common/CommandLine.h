#pragma once

#include <QString>

struct InputCheck;
class QCommandLineOption;
class QCommandLineParser;

// What the command-line tools share: their stderr, and reading their options, so that all of them
// refuse a bad command line in the same one-line form.
class CommandLine
{
public:
    static constexpr int BadCommandLine = 2; // the exit code of a refused command line

    // Keeps stderr to what the tool says: drops the notes Qt writes on every window it builds.
    static void quietQtNotes();

    // Installs the plug-in's catalogue for the user's locale, as the host does, so that the
    // dialog's messages and the notices read in the user's language. Needs the application.
    static void installTranslations();

    // Says on stderr, in one line each, what in the environment is not taken as given.
    static void warnAboutEnvironment(const QString &program);

    // The dialog's message for input that does not pass its checks, and after it why: the
    // system's reason, or which header word is wrong.
    static QString explained(const InputCheck &check);

    // After a parse that succeeded: prints the help or the version on stdout when they were
    // asked for, and returns whether it did (the program then ends with 0).
    static bool answerHelpOrVersion(const QCommandLineParser &parser,
                                    const QCommandLineOption &help,
                                    const QCommandLineOption &version, const QString &program);

    // Says on stderr, in one line, what is wrong and where help is; returns BadCommandLine.
    static int refuse(const QString &program, const QString &message);

    // text as a whole number from low to high; value is left as it was otherwise.
    template <typename Int>
    static bool toInt(const QString &text, qint64 low, qint64 high, Int *value)
    {
        bool ok = false;
        const qint64 parsed = text.toLongLong(&ok);
        if (!ok || parsed < low || parsed > high)
            return false;
        *value = Int(parsed);
        return true;
    }
};
