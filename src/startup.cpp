#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstring>

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

bool printVersionIfAsked(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tervin-test-tools %s\n", TERVIN_VERSION);
            return true;
        }
    return false;
}

void quitAfterEnvironmentDelay()
{
    bool ok = false;
    const int delayMs = qEnvironmentVariableIntValue("TERVIN_QUIT_AFTER_MS", &ok);
    if (ok && delayMs >= 0)
        QTimer::singleShot(delayMs, QCoreApplication::instance(), &QCoreApplication::quit);
}
