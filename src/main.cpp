#include "widget/widget.h"

#include <QApplication>
#include <QDir>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The translation is looked for under the current directory; without it the texts
    // stay English. It must be installed before the window translates its texts.
    QTranslator translator;
    translator.load(QDir::currentPath() + QStringLiteral("/Qm/Chinese.qm"));
    app.installTranslator(&translator);
    Widget window;
    window.show();
    return app.exec();
}
