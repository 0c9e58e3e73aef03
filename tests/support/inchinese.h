#pragma once

// The tool's texts in Chinese while it lives, when asked for: the translation built with the tests,
// installed on the application and taken off again, whatever the test's end.

#include <QCoreApplication>
#include <QTranslator>

namespace TestSupport {

struct InChinese
{
    explicit InChinese(bool on = true)
    {
        if (on && !(translator.load(QStringLiteral("Chinese"), TERVIN_BUILD_DIR "/src/Qm") &&
                    QCoreApplication::installTranslator(&translator)))
            qFatal("no Chinese translation in " TERVIN_BUILD_DIR "/src/Qm");
    }
    ~InChinese() { QCoreApplication::removeTranslator(&translator); }
    InChinese(const InChinese &) = delete;
    InChinese &operator=(const InChinese &) = delete;

    QTranslator translator;
};

} // namespace TestSupport
