#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

void installTranslation(QCoreApplication &app, QTranslator &translator)
{
    // The current directory, not the executable's: run the tool from the folder that holds Qm/.
    translator.load(QDir::currentPath() + QStringLiteral("/Qm/Chinese.qm"));
    app.installTranslator(&translator);
}
