// Writes the application icon as PNG files for the desktop: iconwriter OUTDIR SIZE...
#include "appicon.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (!appIconImage(size).save(
                QStringLiteral("%1/tervin-test-tools-%2.png").arg(folder).arg(size)))
            return 1;
    }
    return 0;
}
