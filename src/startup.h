#pragma once

class QCoreApplication;
class QTranslator;

// Loads "Qm/Chinese.qm" from the current directory and installs it, with Qt's own Chinese texts
// beside it. A missing or unreadable file leaves the translator empty: the texts stay English.
void installTranslation(QCoreApplication &app, QTranslator &translator);

// "--version" among the arguments: prints "tervin-test-tools VERSION" and returns true. Checked
// before the application object is made, so that it answers without a display.
bool printVersionIfAsked(int argc, char *argv[]);

// TERVIN_QUIT_AFTER_MS=N in the environment quits the event loop N ms after it starts, as Close
// does: an unattended start-up check (scripts/package.sh runs the installed window this way).
void quitAfterEnvironmentDelay();
