#pragma once

#include <QLocale>

class QCoreApplication;

// kyhost's own texts in the user's language: its catalogue compiled into its resources
// (":/kyhost/translations/kyhost_<language>.qm") and Qt's, where installed.
class HostTranslators
{
public:
    // Installs both for the locale on the application, which owns them from then on. Called
    // before the options are read and before the window builds its menus, so that --help, the
    // command-line errors and the menus are translated alike. A locale without a catalogue
    // keeps the English texts.
    static void install(QCoreApplication &app, const QLocale &locale);
};
