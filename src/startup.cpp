#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

void installTranslation(QCoreApplication &app, QTranslator &translator)
{
    // The current directory, not the executable's: run the tool from the folder that holds Qm/.
    const bool chinese = translator.load(QDir::currentPath() + QStringLiteral("/Qm/Chinese.qm"));
    app.installTranslator(&translator);
    if (!chinese)
        return;
    // Qt's own texts (the OK of a box, the context menus of fields) in the same language.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTexts);
}
