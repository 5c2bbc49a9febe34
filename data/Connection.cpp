#include "data/Connection.h"

#include "data/DateText.h"
#include "data/TextOrder.h"
#include "data/FindText.h"
#include "data/RecentlyDeleted.h"
#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <sqlite3.h>

namespace data {

namespace {

// Splits a string into code points so that _ always takes one whole character.
std::u32string codePoints(const QString& text)
{
    std::u32string out;
    out.reserve(size_t(text.size()));
    for (const char32_t c : text.toCaseFolded().toUcs4())
        out.push_back(c);
    return out;
}

bool matchFolded(const std::u32string& p, const std::u32string& s, char32_t escape)
{
    size_t pi = 0, si = 0;
    size_t starP = std::u32string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            char32_t pc = p[pi];
            if (escape && pc == escape && pi + 1 < p.size()) {
                if (p[pi + 1] == s[si]) {
                    pi += 2;
                    ++si;
                    continue;
                }
            } else if (pc == U'%') {
                starP = pi++;
                starS = si;
                continue;
            } else if (pc == U'_' || pc == s[si]) {
                ++pi;
                ++si;
                continue;
            }
        }
        if (starP == std::u32string::npos)
            return false;
        pi = starP + 1;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    return pi == p.size();
}

struct FoldedPattern
{
    std::u32string pattern;
};

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    char32_t escape = 0;
    if (argc == 3) {
        const QString esc = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])),
                                              sqlite3_value_bytes(argv[2]));
        const auto points = codePoints(esc);
        if (points.size() != 1)
            return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
        escape = points[0];
    }
    auto* cached = static_cast<FoldedPattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!cached) {
        cached = new FoldedPattern{codePoints(QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0])))};
        sqlite3_set_auxdata(ctx, 0, cached, [](void* p) { delete static_cast<FoldedPattern*>(p); });
        cached = static_cast<FoldedPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached)
            return sqlite3_result_error_nomem(ctx);
    }
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const QString text = QString::fromUtf8(bytes, sqlite3_value_bytes(argv[1]));
    sqlite3_result_int(ctx, matchFolded(cached->pattern, codePoints(text), escape) ? 1 : 0);
}

QString argumentText(sqlite3_value* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

void resultText(sqlite3_context* ctx, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    sqlite3_result_text(ctx, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void initialLetterFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    resultText(ctx, readingInitial(argumentText(argv[0])));
}

void dateShownFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const QString stored = argumentText(argv[0]);
    const QDate date = fromStorage(stored);
    if (!date.isValid())
        return resultText(ctx, stored); // text another program stored that is no date: shown as it is
    // The short form the card shows, and the month by its name whatever that short form makes of it.
    const QString named = QLocale().toString(date, QStringLiteral("d MMMM yyyy"));
    resultText(ctx, QStringList{stored, formatDate(date), named}.join(QLatin1Char('\n')));
}

} // namespace

bool likeMatch(const QString& pattern, const QString& text, QChar escape)
{
    return matchFolded(codePoints(pattern), codePoints(text), escape.isNull() ? 0 : char32_t(escape.unicode()));
}

void registerUnicodeLike(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    // Both depend on the user's locale, which is the same for the whole run.
    sqlite3_create_function_v2(db, "initial_letter", 1, SQLITE_UTF8, nullptr, initialLetterFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "date_shown", 1, SQLITE_UTF8, nullptr, dateShownFunction, nullptr, nullptr, nullptr);
}

bool isAccessFormatFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray id = f.read(20).mid(4, 15);
    return id == "Standard Jet DB" || id == "Standard ACE DB";
}

QString accessFormatMessage(const QString& path)
{
    return QStringLiteral("%1 is an Access-format database; start the program once to convert it")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

Connection::~Connection() { close(); }

void Connection::open()
{
    if (m_file.isOpen())
        return;
    const QString fullPath = QFileInfo(m_path).absoluteFilePath();
    if (isAccessFormatFile(fullPath))
        throw platform::AppError(accessFormatMessage(fullPath));
    // Held until close. A file that cannot be opened at all is left to the engine to report.
    if (!m_lock.acquire(fullPath, FileLock::Mode::Shared, 1000) && m_lock.errorCode() == 0)
        throw platform::AppError(
            QStringLiteral("Could not open the database %1: another program is replacing the file").arg(m_path));
    // No SQLITE_OPEN_CREATE: a missing file must fail, not hide the user's database behind an empty one.
    if (m_file.open(fullPath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, 1000) != SQLITE_OK) {
        const QString message = m_file.errorText();
        m_lock.release();
        throw platform::AppError(QStringLiteral("Could not open the database %1: %2").arg(m_path, message));
    }
    sqlite3* db = m_file.handle();
    // Reading the schema tells a database from any other file and a locked one from a free one.
    char* error = nullptr;
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        m_file.close();
        m_lock.release();
        throw platform::AppError(QStringLiteral("Could not open the database %1: %2").arg(m_path, message));
    }
    // Reading a whole result in key order jumps around the file: map it rather than read page by page. Mapped
    // pages stay resident while the connection is open, though, as large as the file; a single read in storage
    // order is as fast without.
    if (m_readOnce)
        m_file.exec("PRAGMA mmap_size=0; PRAGMA cache_size=-2000");
    else
        m_file.exec("PRAGMA mmap_size=1073741824; PRAGMA cache_size=-65536");
    registerUnicodeLike(db);
    find::registerFunction(db);
    // A run that only reads leaves the file as it found it.
    if (!m_readOnce)
        deleted::attach(db);
}

void Connection::close()
{
    m_file.close();
    // Only after the engine has let go of the file: closing a descriptor drops this process's record locks on it.
    m_lock.release();
}

QString Connection::lastError() const
{
    return m_file.isOpen() ? m_file.errorText() : QString();
}

} // namespace data
