#pragma once

#include "platform/AppError.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace reports {

class RecordSource;

// What an expression may name: the fields of one record source, alone or after the data set's name
// ("Surname" or "HomeQuery.Surname").
struct ExpressionScope
{
    QString dataSetName;
    const RecordSource* source = nullptr;
};

// An expression that cannot be worked out: a syntax error, an unknown field or function, a wrong type.
class ExpressionError : public platform::AppError
{
public:
    using platform::AppError::AppError;
};

// A report expression, parsed once per rendering and evaluated for every row:
//   field names (Surname, HomeQuery.Surname; case does not matter), text literals in single quotes
//   ('it''s' holds one quote), whole numbers, + (joins texts, adds numbers), COPY(text, start, count)
//   with start counted from 1 (0 counts as 1) and characters rather than UTF-16 units, INITIAL(text): the
//   capital a reader files the text under, case and accents aside ("Ångström" and "ap Rhys" give "A"), TRIM(text)
//   without blanks at either end, IFEMPTY(text, whenEmpty[, whenNot]) (empty: nothing but blanks; without whenNot,
//   the text itself), JOIN(separator, text, text...) joining the texts that are not empty, each trimmed,
//   parentheses. [Work Tel] names a field whose name holds a blank.
// Blanks between the parts are ignored. Every type is known when parsing, so evaluating cannot fail.
class Expression
{
public:
    // Throws ExpressionError.
    [[nodiscard]] static Expression parse(const QString& text, const ExpressionScope& scope);

    // The value as text for one row of the source it was parsed for; row -1 reads every field as empty.
    [[nodiscard]] QString evaluate(const RecordSource& source, int row) const;

    [[nodiscard]] const QString& text() const { return m_text; }

    struct Node
    {
        enum class Kind { Text, Number, Field, Concat, Add, Copy, Initial, Trim, IfEmpty, Join } kind;
        QString text;      // Text
        qint64 number = 0; // Number
        int field = -1;    // Field
        int args[3] = {-1, -1, -1};
    };

private:
    friend class ExpressionParser;
    QString m_text;
    std::vector<Node> m_nodes;
    int m_root = -1;
};

// The lines of an expression memo: every part between { and the next } is an expression, the rest is
// printed as written. A part that cannot be worked out gives the empty text; an unclosed { is plain text.
class ExpressionMemo
{
public:
    [[nodiscard]] static ExpressionMemo parse(const QStringList& lines, const ExpressionScope& scope);

    // The merged lines of one row. With removeBlankLines, a line whose merged text is empty or only blanks
    // (two empty fields and the blank joining them) is dropped.
    [[nodiscard]] QStringList evaluate(const RecordSource& source, int row, bool removeBlankLines) const;

private:
    struct Part
    {
        QString literal;
        std::optional<Expression> expression; // used when isExpression
        bool isExpression = false;
    };
    std::vector<std::vector<Part>> m_lines;
};

// COPY: count characters of text from the 1-based start on; a start below 1 counts as 1.
[[nodiscard]] QString copyText(const QString& text, qint64 start, qint64 count);

} // namespace reports
