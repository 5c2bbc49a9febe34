#include "reports/Expression.h"

#include "data/TextOrder.h"
#include "reports/RecordSource.h"

namespace reports {

namespace {

enum class Tok { End, Ident, Text, Number, Plus, Comma, Dot, Open, Close };

struct Token
{
    Tok kind = Tok::End;
    QString text;
    qint64 number = 0;
    int at = 0;
};

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

class ExpressionParser
{
public:
    ExpressionParser(const QString& text, const ExpressionScope& scope) : m_text(text), m_scope(scope)
    {
        m_expr.m_text = text;
        advance();
    }

    Expression run()
    {
        if (m_token.kind == Tok::End)
            fail(QStringLiteral("it is empty"));
        m_expr.m_root = parseSum();
        if (m_token.kind != Tok::End)
            fail(QStringLiteral("unexpected \"%1\"").arg(m_text.mid(m_token.at)));
        return std::move(m_expr);
    }

private:
    using Node = Expression::Node;

    [[noreturn]] void fail(const QString& why) const
    {
        throw ExpressionError(QStringLiteral("Cannot work out the expression \"%1\": %2").arg(m_text, why));
    }

    void advance()
    {
        const int n = static_cast<int>(m_text.size());
        while (m_pos < n && m_text[m_pos].isSpace())
            ++m_pos;
        m_token = Token{};
        m_token.at = m_pos;
        if (m_pos >= n)
            return;
        const QChar c = m_text[m_pos];
        if (isIdentStart(c)) {
            const int start = m_pos;
            while (m_pos < n && isIdentChar(m_text[m_pos]))
                ++m_pos;
            m_token.kind = Tok::Ident;
            m_token.text = m_text.mid(start, m_pos - start);
        } else if (c == u'[') {
            // A field whose name holds a blank: [Work Tel].
            const int close = static_cast<int>(m_text.indexOf(u']', m_pos + 1));
            if (close < 0)
                fail(QStringLiteral("a [field name] is not closed"));
            m_token.kind = Tok::Ident;
            m_token.text = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
        } else if (c.isDigit()) {
            const int start = m_pos;
            while (m_pos < n && m_text[m_pos].isDigit())
                ++m_pos;
            bool ok = false;
            m_token.kind = Tok::Number;
            m_token.number = m_text.mid(start, m_pos - start).toLongLong(&ok);
            if (!ok || m_token.number > 1'000'000'000)
                fail(QStringLiteral("the number %1 is too large").arg(m_text.mid(start, m_pos - start)));
        } else if (c == u'\'') {
            ++m_pos;
            QString value;
            for (;;) {
                if (m_pos >= n)
                    fail(QStringLiteral("a quoted text is not closed"));
                if (m_text[m_pos] == u'\'') {
                    if (m_pos + 1 < n && m_text[m_pos + 1] == u'\'') {
                        value += u'\'';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                value += m_text[m_pos++];
            }
            m_token.kind = Tok::Text;
            m_token.text = value;
        } else {
            ++m_pos;
            switch (c.unicode()) {
            case u'+':
                m_token.kind = Tok::Plus;
                break;
            case u',':
                m_token.kind = Tok::Comma;
                break;
            case u'.':
                m_token.kind = Tok::Dot;
                break;
            case u'(':
                m_token.kind = Tok::Open;
                break;
            case u')':
                m_token.kind = Tok::Close;
                break;
            default:
                fail(QStringLiteral("unexpected \"%1\"").arg(c));
            }
        }
    }

    void expect(Tok kind, const char* what)
    {
        if (m_token.kind != kind)
            fail(m_token.kind == Tok::End
                     ? QStringLiteral("%1 is missing at the end").arg(QLatin1String(what))
                     : QStringLiteral("%1 expected before \"%2\"").arg(QLatin1String(what), m_text.mid(m_token.at)));
        advance();
    }

    int add(Node node)
    {
        m_expr.m_nodes.push_back(std::move(node));
        return static_cast<int>(m_expr.m_nodes.size()) - 1;
    }

    bool isNumber(int node) const
    {
        const auto kind = m_expr.m_nodes[static_cast<size_t>(node)].kind;
        return kind == Node::Kind::Number || kind == Node::Kind::Add;
    }

    int parseSum()
    {
        int left = parseTerm();
        while (m_token.kind == Tok::Plus) {
            advance();
            const int right = parseTerm();
            if (isNumber(left) != isNumber(right))
                fail(QStringLiteral("a text and a number cannot be joined with +"));
            Node node{isNumber(left) ? Node::Kind::Add : Node::Kind::Concat, {}, 0, -1, {left, right, -1}};
            left = add(std::move(node));
        }
        return left;
    }

    int parseTerm()
    {
        const Token token = m_token;
        switch (token.kind) {
        case Tok::Text:
            advance();
            return add(Node{Node::Kind::Text, token.text, 0, -1, {-1, -1, -1}});
        case Tok::Number:
            advance();
            return add(Node{Node::Kind::Number, {}, token.number, -1, {-1, -1, -1}});
        case Tok::Open: {
            advance();
            const int inner = parseSum();
            expect(Tok::Close, "\")\"");
            return inner;
        }
        case Tok::Ident:
            advance();
            if (m_token.kind == Tok::Open)
                return parseCall(token.text);
            return parseField(token.text);
        case Tok::End:
            fail(QStringLiteral("a value is missing at the end"));
        default:
            fail(QStringLiteral("a value expected before \"%1\"").arg(m_text.mid(token.at)));
        }
    }

    int parseField(const QString& first)
    {
        QString name = first;
        if (m_token.kind == Tok::Dot) {
            advance();
            if (m_token.kind != Tok::Ident)
                fail(QStringLiteral("a field name must follow \"%1.\"").arg(first));
            if (m_scope.dataSetName.isEmpty() || first.compare(m_scope.dataSetName, Qt::CaseInsensitive) != 0)
                fail(QStringLiteral("unknown data set \"%1\"").arg(first));
            name = m_token.text;
            advance();
        }
        const int field = m_scope.source ? m_scope.source->fieldIndex(name) : -1;
        if (field < 0)
            fail(QStringLiteral("unknown field \"%1\"").arg(name));
        return add(Node{Node::Kind::Field, {}, 0, field, {-1, -1, -1}});
    }

    int parseCall(const QString& name)
    {
        if (name.compare(QLatin1String("INITIAL"), Qt::CaseInsensitive) == 0) {
            advance(); // (
            Node node{Node::Kind::Initial, {}, 0, -1, {parseSum(), -1, -1}};
            if (isNumber(node.args[0]))
                fail(QStringLiteral("INITIAL needs a text"));
            expect(Tok::Close, "\")\"");
            return add(std::move(node));
        }
        const QString upper = name.toUpper();
        if (upper == QLatin1String("TRIM") || upper == QLatin1String("IFEMPTY") || upper == QLatin1String("JOIN")) {
            advance(); // (
            std::vector<int> args;
            do {
                if (!args.empty())
                    advance(); // ,
                args.push_back(parseSum());
                if (isNumber(args.back()))
                    fail(QStringLiteral("%1 takes only texts").arg(upper));
            } while (m_token.kind == Tok::Comma);
            expect(Tok::Close, "\")\"");
            const auto count = args.size();
            if ((upper == QLatin1String("TRIM") && count != 1) ||
                (upper == QLatin1String("IFEMPTY") && (count < 2 || count > 3)) ||
                (upper == QLatin1String("JOIN") && count < 2))
                fail(QStringLiteral("%1 has the wrong number of values").arg(upper));
            if (upper == QLatin1String("TRIM"))
                return add(Node{Node::Kind::Trim, {}, 0, -1, {args[0], -1, -1}});
            if (upper == QLatin1String("IFEMPTY"))
                return add(Node{Node::Kind::IfEmpty, {}, 0, -1, {args[0], args[1], count > 2 ? args[2] : -1}});
            // JOIN(separator, a, b, c...): a chain of pairs, each joining what is not empty.
            int joined = args[1];
            for (size_t i = 2; i < count; ++i)
                joined = add(Node{Node::Kind::Join, {}, 0, -1, {args[0], joined, args[i]}});
            return count == 2 ? add(Node{Node::Kind::Trim, {}, 0, -1, {joined, -1, -1}}) : joined;
        }
        if (name.compare(QLatin1String("COPY"), Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("unknown function \"%1\"").arg(name));
        advance(); // (
        Node node{Node::Kind::Copy, {}, 0, -1, {-1, -1, -1}};
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                expect(Tok::Comma, "\",\"");
            node.args[i] = parseSum();
            if (isNumber(node.args[i]) != (i > 0))
                fail(i == 0 ? QStringLiteral("COPY needs a text first")
                            : QStringLiteral("COPY needs whole numbers for the start and the count"));
        }
        expect(Tok::Close, "\")\"");
        return add(std::move(node));
    }

    const QString& m_text;
    const ExpressionScope& m_scope;
    Expression m_expr;
    Token m_token;
    int m_pos = 0;
};

Expression Expression::parse(const QString& text, const ExpressionScope& scope)
{
    return ExpressionParser(text, scope).run();
}

namespace {

struct Evaluator
{
    const std::vector<Expression::Node>& nodes;
    const RecordSource& source;
    int row;

    const Expression::Node& at(int i) const { return nodes[static_cast<size_t>(i)]; }

    qint64 number(int i) const
    {
        const auto& n = at(i);
        if (n.kind == Expression::Node::Kind::Add)
            return number(n.args[0]) + number(n.args[1]);
        return n.number;
    }

    QString text(int i) const
    {
        const auto& n = at(i);
        switch (n.kind) {
        case Expression::Node::Kind::Text:
            return n.text;
        case Expression::Node::Kind::Field:
            return row < 0 ? QString() : source.text(row, n.field);
        case Expression::Node::Kind::Concat:
            return text(n.args[0]) + text(n.args[1]);
        case Expression::Node::Kind::Copy:
            return copyText(text(n.args[0]), number(n.args[1]), number(n.args[2]));
        case Expression::Node::Kind::Initial:
            return data::readingInitial(text(n.args[0]));
        case Expression::Node::Kind::Trim:
            return text(n.args[0]).trimmed();
        case Expression::Node::Kind::IfEmpty: {
            QString value = text(n.args[0]);
            if (value.trimmed().isEmpty())
                return text(n.args[1]);
            return n.args[2] >= 0 ? text(n.args[2]) : value;
        }
        case Expression::Node::Kind::Join: {
            const QString a = text(n.args[1]).trimmed();
            const QString b = text(n.args[2]).trimmed();
            return a.isEmpty() ? b : b.isEmpty() ? a : a + text(n.args[0]) + b;
        }
        case Expression::Node::Kind::Number:
        case Expression::Node::Kind::Add:
            return QString::number(number(i));
        }
        return {};
    }
};

} // namespace

QString Expression::evaluate(const RecordSource& source, int row) const
{
    return m_root < 0 ? QString() : Evaluator{m_nodes, source, row}.text(m_root);
}

QString copyText(const QString& text, qint64 start, qint64 count)
{
    if (start < 1)
        start = 1;
    if (count <= 0)
        return {};
    // Walk by characters so that a character outside the BMP is never cut in half.
    const qsizetype n = text.size();
    qsizetype pos = 0;
    auto step = [&] { pos += (pos + 1 < n && text[pos].isHighSurrogate() && text[pos + 1].isLowSurrogate()) ? 2 : 1; };
    for (qint64 i = 1; i < start && pos < n; ++i)
        step();
    const qsizetype begin = pos;
    for (qint64 i = 0; i < count && pos < n; ++i)
        step();
    return text.mid(begin, pos - begin);
}

ExpressionMemo ExpressionMemo::parse(const QStringList& lines, const ExpressionScope& scope)
{
    ExpressionMemo memo;
    for (const QString& line : lines) {
        std::vector<Part> parts;
        qsizetype pos = 0;
        while (pos < line.size()) {
            const qsizetype open = line.indexOf(u'{', pos);
            const qsizetype close = open < 0 ? -1 : line.indexOf(u'}', open + 1);
            if (open < 0 || close < 0) {
                parts.push_back(Part{line.mid(pos), std::nullopt, false});
                break;
            }
            if (open > pos)
                parts.push_back(Part{line.mid(pos, open - pos), std::nullopt, false});
            Part part{{}, std::nullopt, true};
            try {
                part.expression = Expression::parse(line.mid(open + 1, close - open - 1), scope);
            } catch (const ExpressionError&) {
                // Printed as the empty text.
            }
            parts.push_back(std::move(part));
            pos = close + 1;
        }
        memo.m_lines.push_back(std::move(parts));
    }
    return memo;
}

QStringList ExpressionMemo::evaluate(const RecordSource& source, int row, bool removeBlankLines) const
{
    QStringList result;
    result.reserve(static_cast<qsizetype>(m_lines.size()));
    for (const auto& parts : m_lines) {
        QString line;
        for (const Part& part : parts) {
            if (!part.isExpression)
                line += part.literal;
            else if (part.expression)
                line += part.expression->evaluate(source, row);
        }
        // A line left holding only the blank that joins two empty fields is as empty as one with no text.
        if (removeBlankLines && line.trimmed().isEmpty())
            continue;
        result.push_back(line);
    }
    return result;
}

} // namespace reports
