// The initial a reader files a name under: case and accents aside as the locale's collation sees them.
#include "data/TextOrder.h"

#include <QLocale>
#include <QTest>

class TestTextOrder : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void readingInitial_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("initial");
        QTest::newRow("plain") << "en_GB" << "Smith" << "S";
        QTest::newRow("lower case") << "en_GB" << "ap Rhys" << "A";
        QTest::newRow("ring") << "en_GB" << "Ångström" << "A";
        QTest::newRow("acute, lower case") << "en_GB" << "álvarez" << "A";
        QTest::newRow("decomposed accent") << "en_GB" << "E\u0301mile" << "E";
        QTest::newRow("stroke: no decomposition") << "en_GB" << "Øberg" << "O";
        QTest::newRow("L with stroke") << "en_GB" << "łukasz" << "L";
        QTest::newRow("a letter of its own") << "en_GB" << "ærø" << "Æ";
        QTest::newRow("Greek with tonos") << "en_GB" << "άλφα" << "Α";
        QTest::newRow("Arabic") << "en_GB" << "محمد" << "م";
        QTest::newRow("digit") << "en_GB" << "3M Ltd" << "3";
        QTest::newRow("apostrophe") << "en_GB" << "'t Hooft" << "'";
        QTest::newRow("empty") << "en_GB" << "" << "";
        // Where the language has a letter of its own, it stays: not filed under A.
        QTest::newRow("Swedish Å") << "sv_SE" << "Åberg" << "Å";
        QTest::newRow("Swedish ä") << "sv_SE" << "ärlig" << "Ä";
        QTest::newRow("German Ä") << "de_DE" << "Ärger" << "A";
        QTest::newRow("C locale reads as English") << "C" << "Ångström" << "A";
    }
    void readingInitial()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, initial);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(data::readingInitial(text), initial);
    }
};

QTEST_GUILESS_MAIN(TestTextOrder)
#include "tst_textorder.moc"
