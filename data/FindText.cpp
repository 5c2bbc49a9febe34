#include "data/FindText.h"

#include "data/ContactStore.h"

#include <QRegularExpression>
#include <sqlite3.h>

namespace data::find {

namespace {

const QStringList& phoneColumns()
{
    static const QStringList columns{QStringLiteral("Tel"), QStringLiteral("Cell"), QStringLiteral("Work Tel")};
    return columns;
}

bool isDigits(const QString& word)
{
    if (word.isEmpty())
        return false;
    for (const QChar c : word)
        if (!c.isDigit())
            return false;
    return true;
}

struct Words
{
    QStringList words;
};

QString argText(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

void findFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* cached = static_cast<Words*>(sqlite3_get_auxdata(ctx, 0));
    if (!cached) {
        cached = new Words{words(argText(argv[0]))};
        sqlite3_set_auxdata(ctx, 0, cached, [](void* p) { delete static_cast<Words*>(p); });
        cached = static_cast<Words*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached)
            return sqlite3_result_error_nomem(ctx);
    }
    const int phoneCount = int(phoneColumns().size());
    QStringList phones, texts;
    for (int i = 1; i < argc; ++i) {
        const QString text = argText(argv[i]);
        if (i <= phoneCount)
            phones << text;
        texts << text;
    }
    sqlite3_result_int(ctx, matches(cached->words, texts, phones) ? 1 : 0);
}

QString quotedColumn(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

} // namespace

QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const auto category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        out += c;
    }
    return out.toCaseFolded();
}

QStringList words(const QString& typed)
{
    QStringList out;
    for (const QString& w : typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        out << fold(w);
    return out;
}

QString phoneDigits(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (c.isDigit())
            out += c;
    return out;
}

bool matches(const QStringList& foldedWords, const QStringList& texts, const QStringList& phones)
{
    if (foldedWords.isEmpty())
        return true;
    QStringList folded;
    folded.reserve(texts.size());
    for (const QString& t : texts)
        folded << fold(t);
    QStringList digits;
    for (const QString& word : foldedWords) {
        bool found = false;
        for (const QString& t : folded)
            if (t.contains(word)) {
                found = true;
                break;
            }
        if (!found && isDigits(word)) {
            if (digits.isEmpty())
                for (const QString& p : phones)
                    digits << phoneDigits(p);
            for (const QString& d : digits)
                if (d.contains(word)) {
                    found = true;
                    break;
                }
        }
        if (!found)
            return false;
    }
    return true;
}

void registerFunction(sqlite3* db)
{
    sqlite3_create_function_v2(db, "tovrel_find", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, findFunction,
                               nullptr, nullptr, nullptr);
}

QStringList narrowed(const QStringList& sql, const QString& typed)
{
    if (words(typed).isEmpty())
        return sql;
    QStringList columns;
    for (const QString& p : phoneColumns())
        columns << quotedColumn(p);
    for (const FieldDef& f : contactFields())
        if (f.isStored() && !phoneColumns().contains(f.name))
            columns << quotedColumn(f.name);
    QString literal = typed;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    // The selection in force stays whole inside, with its own order; only its rows are narrowed.
    QStringList out{QStringLiteral("SELECT * FROM (")};
    out << sql;
    out << QStringLiteral(") WHERE tovrel_find('%1', %2)").arg(literal, columns.join(QStringLiteral(", ")));
    return out;
}

} // namespace data::find
