#pragma once

class QCoreApplication;
class QTranslator;

// Loads "Qm/Chinese.qm" from the current directory and installs it, with Qt's own Chinese texts
// beside it. A missing or unreadable file leaves the translator empty: the texts stay English.
void installTranslation(QCoreApplication &app, QTranslator &translator);
