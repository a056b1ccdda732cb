#include "CommandLine.h"

#include "FBLoader.h"
#include "InputCheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>

namespace {

// The form's name-based connections to overloaded Qt signals make Qt note its choice on every
// window; on a command line that is noise around the output that matters.
void filterQtNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("QMetaObject::connectSlotsByName: Connecting slot")) ||
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

void CommandLine::installTranslations()
{
    // Kept for the program's life, as the application keeps a pointer to it.
    static QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("CrossPlot"), QStringLiteral("_"),
                        QStringLiteral(":/resource/translations")))
        QCoreApplication::installTranslator(&translator);
}

void CommandLine::warnAboutEnvironment(const QString &program)
{
    const QString threads = FBLoader::threadCountWarning();
    if (!threads.isEmpty())
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(threads));
}

QString CommandLine::explained(const InputCheck &check)
{
    switch (check.problem) {
    case InputCheck::None:
    case InputCheck::OffsetRange:
        break;
    case InputCheck::OpenFile:
        return QStringLiteral("%1 (%2)").arg(check.message, check.openError);
    case InputCheck::Header: {
        const FBHeader &header = check.header;
        QString why;
        if (check.fileSize >= 0 && check.fileSize < FBHeader::Size)
            why = QStringLiteral("the file holds %1 bytes, a header takes %2; the words it lacks "
                                 "read as 0")
                      .arg(check.fileSize)
                      .arg(FBHeader::Size);
        if (header.offsetLow < 0)
            why += (why.isEmpty() ? QString() : QStringLiteral("; ")) +
                   QStringLiteral("offsetLow (bytes 8-11) is %1, below 0").arg(header.offsetLow);
        else
            why += (why.isEmpty() ? QString() : QStringLiteral("; ")) +
                   QStringLiteral("offsetLow (bytes 8-11) is %1, not below offsetHigh (bytes "
                                  "12-15), %2")
                       .arg(header.offsetLow)
                       .arg(header.offsetHigh);
        return QStringLiteral("%1 (%2)").arg(check.message, why);
    }
    }
    return check.message;
}

bool CommandLine::answerHelpOrVersion(const QCommandLineParser &parser,
                                      const QCommandLineOption &help,
                                      const QCommandLineOption &version, const QString &program)
{
    if (parser.isSet(help))
        std::fputs(qPrintable(parser.helpText()), stdout);
    else if (parser.isSet(version))
        std::printf("%s %s\n", qPrintable(program), CROSSPLOT_VERSION);
    return parser.isSet(help) || parser.isSet(version);
}

void CommandLine::quietQtNotes()
{
    qInstallMessageHandler(filterQtNoise);
}

int CommandLine::refuse(const QString &program, const QString &message)
{
    // Qt's parser ends its messages with a full stop, ours do not: one form for both.
    QString text = message;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    std::fprintf(stderr, "%s: %s (see %s --help)\n", qPrintable(program), qPrintable(text),
                 qPrintable(program));
    return BadCommandLine;
}
