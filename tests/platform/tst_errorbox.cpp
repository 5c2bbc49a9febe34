#include "platform/ui/ErrorBox.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"

#include <QApplication>
#include <QTest>

class TestErrorBox : public QObject
{
    Q_OBJECT
private slots:
    void fullStop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Cannot open file x" << "Cannot open file x.";
        QTest::newRow("already") << "Done." << "Done.";
        QTest::newRow("comma sorts before") << "a," << "a,";
        QTest::newRow("space sorts before") << "a " << "a ";
        QTest::newRow("slash sorts after") << "C:/" << "C:/.";
        QTest::newRow("empty") << "" << "";
    }
    void fullStop()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(platform::withFullStop(text), shown);
    }

    void guardShowsTheDefaultErrorBox()
    {
        auto fakes = platform::installFakes();
        const bool ok = platform::guard([] { throw platform::AppError(QStringLiteral("Disk full")); });
        QVERIFY(!ok);
        QCOMPARE(fakes.prompts->asked.size(), 1);
        QCOMPARE(fakes.prompts->asked[0].caption, QStringLiteral("Tovrel"));
        QCOMPARE(fakes.prompts->asked[0].text, QStringLiteral("Disk full."));
        QCOMPARE(fakes.prompts->asked[0].icon, platform::Icon::Error);
    }
};

QTEST_MAIN(TestErrorBox)
#include "tst_errorbox.moc"
