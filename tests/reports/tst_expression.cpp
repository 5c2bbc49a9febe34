#include "reports/Expression.h"
#include "reports/RecordSource.h"

#include <QTest>

using reports::Expression;
using reports::ExpressionError;
using reports::ExpressionMemo;

class TestExpression : public QObject
{
    Q_OBJECT

    reports::MemoryRecordSource m_source{reports::MemoryRecordSource::contactFields()};
    reports::ExpressionScope m_scope{QStringLiteral("HomeQuery"), &m_source};

    QString eval(const QString& text, int row = 0) const
    {
        return Expression::parse(text, m_scope).evaluate(m_source, row);
    }

private slots:
    void initTestCase()
    {
        QStringList row(20);
        row[0] = QStringLiteral("Smith");
        row[2] = QStringLiteral("Anna");
        row[5] = QStringLiteral("Dean");
        row[16] = QStringLiteral("0117 4960000");
        m_source.addRow(row);
        QStringList emoji(20);
        emoji[0] = QStringLiteral("\U0001F600x");
        m_source.addRow(emoji);
    }

    void values_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("value");
        QTest::newRow("field") << "Surname"
                               << "Smith";
        QTest::newRow("field any case") << "sURNAME"
                                        << "Smith";
        QTest::newRow("after data set") << "HomeQuery.Surname"
                                        << "Smith";
        QTest::newRow("data set any case") << "homequery.A3_Village"
                                           << "Dean";
        QTest::newRow("empty field") << "Address1"
                                     << "";
        QTest::newRow("literal") << "'T: '"
                                 << "T: ";
        QTest::newRow("doubled quote") << "'it''s'"
                                       << "it's";
        QTest::newRow("join") << "Firstname +' '+Surname"
                              << "Anna Smith";
        QTest::newRow("join empty fields keeps blank") << "Address1 +' '+ Address2"
                                                       << " ";
        QTest::newRow("blanks ignored") << "  Surname+', '  +  Firstname  "
                                        << "Smith, Anna";
        QTest::newRow("copy initial") << "COPY(HomeQuery.Surname,1,1)"
                                      << "S";
        QTest::newRow("copy lower case name") << "copy(Surname, 2, 3)"
                                              << "mit";
        QTest::newRow("copy start 0 counts as 1") << "COPY(Surname,0,2)"
                                                  << "Sm";
        QTest::newRow("copy past end") << "COPY(Surname,4,10)"
                                       << "th";
        QTest::newRow("copy start after end") << "COPY(Surname,9,2)"
                                              << "";
        QTest::newRow("copy count 0") << "COPY(Surname,1,0)"
                                      << "";
        QTest::newRow("copy of join") << "COPY(Firstname+Surname,4,3)"
                                      << "aSm";
        QTest::newRow("copy with sums") << "COPY(Surname,1+1,1+1)"
                                        << "mi";
        QTest::newRow("initial") << "INITIAL(HomeQuery.Surname)"
                                 << "S";
        QTest::newRow("initial of a join, accent aside") << "initial('é'+Surname)"
                                                         << "E";
        QTest::newRow("parentheses") << "(Firstname)+('-')"
                                     << "Anna-";
        QTest::newRow("numbers add") << "1+2"
                                     << "3";
        // Labels and separators only beside values.
        QTest::newRow("trim") << "TRIM(Address1+' '+Firstname+' ')" << "Anna";
        QTest::newRow("ifempty: a value") << "IFEMPTY(Surname, 'none')" << "Smith";
        QTest::newRow("ifempty: only blanks") << "IFEMPTY(Address1+' '+Address2, 'none')" << "none";
        QTest::newRow("ifempty, three: a value") << "IFEMPTY(Surname, '', 'S: '+Surname)" << "S: Smith";
        QTest::newRow("ifempty, three: empty") << "IFEMPTY(Tel, '', 'T: '+Tel)" << "";
        QTest::newRow("join: both") << "JOIN(', ', Surname, Firstname)" << "Smith, Anna";
        QTest::newRow("join: one empty") << "JOIN(', ', Address1, Firstname, Tel)" << "Anna";
        QTest::newRow("join: none") << "JOIN(', ', Address1, Tel)" << "";
        QTest::newRow("join: three") << "JOIN('/', Surname, Firstname, A3_Village)" << "Smith/Anna/Dean";
        QTest::newRow("field with a blank") << "[Work Tel]" << "0117 4960000";
    }
    void values()
    {
        QFETCH(QString, expression);
        QFETCH(QString, value);
        QCOMPARE(eval(expression), value);
    }

    void copyTakesWholeCharacters()
    {
        QCOMPARE(eval(QStringLiteral("COPY(Surname,1,1)"), 1), QStringLiteral("\U0001F600"));
        QCOMPARE(eval(QStringLiteral("COPY(Surname,2,1)"), 1), QStringLiteral("x"));
    }

    void rowMinusOneReadsEmptyFields()
    {
        QCOMPARE(eval(QStringLiteral("Firstname+' '+Surname+','"), -1), QStringLiteral(" ,"));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown field") << "Surnam"
                                       << "unknown field \"Surnam\"";
        QTest::newRow("other data set") << "Other.Surname"
                                        << "unknown data set \"Other\"";
        QTest::newRow("unclosed literal") << "'abc"
                                          << "not closed";
        QTest::newRow("unknown function") << "UPPER(Surname)"
                                          << "unknown function";
        QTest::newRow("copy needs three") << "COPY(Surname,1)"
                                          << "\",\" expected";
        QTest::newRow("copy needs numbers") << "COPY(Surname,'1',1)"
                                            << "whole numbers";
        QTest::newRow("text plus number") << "Surname+1"
                                          << "cannot be joined";
        QTest::newRow("dangling plus") << "Surname+"
                                       << "missing at the end";
        QTest::newRow("two values") << "Surname Firstname"
                                    << "unexpected";
        QTest::newRow("stray character") << "Surname & Firstname"
                                         << "unexpected \"&\"";
        QTest::newRow("empty") << "  "
                               << "empty";
        QTest::newRow("initial needs a text") << "INITIAL(1)"
                                              << "needs a text";
        QTest::newRow("missing parenthesis") << "COPY(Surname,1,1"
                                             << "missing at the end";
        QTest::newRow("ifempty needs two") << "IFEMPTY(Surname)" << "wrong number";
        QTest::newRow("join of a number") << "JOIN(', ', Surname, 1)" << "only texts";
        QTest::newRow("unclosed field name") << "[Work Tel" << "not closed";
    }
    void errors()
    {
        QFETCH(QString, expression);
        QFETCH(QString, says);
        try {
            (void)Expression::parse(expression, m_scope);
            QFAIL("no error");
        } catch (const ExpressionError& e) {
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
            QVERIFY(e.message().contains(expression));
        }
    }

    void memoLines_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("removeBlank");
        QTest::addColumn<QStringList>("merged");
        const QStringList label = {QStringLiteral("{Firstname +' '+Surname}"),
                                   QStringLiteral("{Address1 +' '+ Address2}"), QStringLiteral("{A3_Village}"),
                                   QStringLiteral("{Town}"), QStringLiteral("{PostCode}")};
        QTest::newRow("empty and blank lines dropped")
            << label << true << QStringList{"Anna Smith", "Dean"};
        QTest::newRow("kept without the option") << label << false << QStringList{"Anna Smith", " ", "Dean", "", ""};
        QTest::newRow("literal around parts")
            << QStringList{"Dear {Firstname},", "x{Town}y{Town}z"} << true << QStringList{"Dear Anna,", "xyz"};
        QTest::newRow("part that cannot be worked out is empty")
            << QStringList{"{Nonsense}", "a{Surname+}b", "{Surname}"} << true << QStringList{"ab", "Smith"};
        QTest::newRow("unclosed brace is text") << QStringList{"{Surname} {Town"} << true << QStringList{"Smith {Town"};
        QTest::newRow("empty braces") << QStringList{"{}", "-{}-"} << true << QStringList{"--"};
    }
    void memoLines()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, removeBlank);
        QFETCH(QStringList, merged);
        QCOMPARE(ExpressionMemo::parse(lines, m_scope).evaluate(m_source, 0, removeBlank), merged);
    }
};

QTEST_MAIN(TestExpression)
#include "tst_expression.moc"
