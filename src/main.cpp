#include "appicon.h"
#include "startup.h"
#include "widget/widget.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    if (printVersionIfAsked(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setWindowIcon(appIcon());
    // Installed before the window is built: the window translates its texts as it is built.
    QTranslator translator;
    installTranslation(app, translator);
    Widget window;
    window.show();
    quitAfterEnvironmentDelay();
    return app.exec();
}
