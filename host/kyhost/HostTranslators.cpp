#include "HostTranslators.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The texts QCommandLineParser shows in --help and in its errors. Qt's own catalogue has them
// only where qttranslations5-l10n is installed, so kyhost's catalogue carries them as well.
const char *const commandLineParserTexts[] = {
    QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "[options]"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Options:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays help on commandline options."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays help including Qt specific options."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays version information."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown option '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown options: %1."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'.")};

} // namespace

void HostTranslators::install(QCoreApplication &app, const QLocale &locale)
{
    Q_UNUSED(commandLineParserTexts);
    // Qt's catalogue first, kyhost's last: the translator installed last is asked first, so
    // where both know a QCommandLineParser text, kyhost's wording wins on every system.
    auto *qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTranslator);
    auto *hostTranslator = new QTranslator(&app);
    if (hostTranslator->load(locale, QStringLiteral("kyhost"), QStringLiteral("_"),
                             QStringLiteral(":/kyhost/translations")))
        app.installTranslator(hostTranslator);
}
