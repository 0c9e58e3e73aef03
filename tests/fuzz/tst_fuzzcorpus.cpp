// A fuzz target's corpus, run again: every input it keeps, those that once crashed it among them
// (named regression-*), goes through the target as the fuzzer feeds it. The target aborts on a
// broken rule, which fails the test. Built once per target (FUZZ_TARGET, FUZZ_CORPUS).
#include <QDir>
#include <QtTest>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    void input_data()
    {
        QTest::addColumn<QString>("path");
        const QFileInfoList inputs = QDir(FUZZ_CORPUS).entryInfoList(QDir::Files, QDir::Name);
        QVERIFY2(!inputs.isEmpty(), "the corpus of " FUZZ_TARGET " is empty");
        for (const QFileInfo &input : inputs)
            QTest::newRow(qPrintable(input.fileName())) << input.filePath();
    }

    void input()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                        size_t(bytes.size())),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
