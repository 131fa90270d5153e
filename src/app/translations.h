#pragma once

class QCoreApplication;
class QLocale;

// Installs Tavrin's translation for the locale's language, and Qt's own for the standard
// buttons, into app; they stay installed while app runs. English needs none. Returns whether
// Tavrin's own was found.
bool installTranslations(QCoreApplication& app, const QLocale& locale);
