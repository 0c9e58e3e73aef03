#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
// Where Qt keeps its own translations. The one call that differs between the Qt versions the
// tool builds with: Qt 6 renamed it and deprecates the old name.
QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}
} // namespace

void installTranslation(QCoreApplication &app, QTranslator &translator)
{
    // The current directory, not the executable's: run the tool from the folder that holds Qm/.
    const bool chinese = translator.load(QDir::currentPath() + QStringLiteral("/Qm/Chinese.qm"));
    app.installTranslator(&translator);
    if (!chinese)
        return;
    // Qt's own texts (the OK of a box, the context menus of fields) in the same language.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"), qtTranslationsPath()))
        app.installTranslator(qtTexts);
}
