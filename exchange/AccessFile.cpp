#include "exchange/AccessFile.h"

#include "data/Connection.h"
#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#ifdef TOVREL_HAVE_MDB
#include <mdbtools.h>
#endif

namespace exchange {

bool isAccessFile(const QString& path)
{
    return data::isAccessFormatFile(path);
}

bool canReadAccessFiles()
{
#ifdef TOVREL_HAVE_MDB
    return true;
#else
    return false;
#endif
}

#ifdef TOVREL_HAVE_MDB

namespace {

struct MdbFile
{
    MdbHandle* mdb = nullptr;
    explicit MdbFile(const QString& path)
    {
        if (!QFileInfo(path).isFile())
            throw platform::AppError(QStringLiteral("Cannot open %1: the file does not exist.").arg(path));
        if (!isAccessFile(path))
            throw platform::AppError(QStringLiteral("%1 is not an Access-format database.").arg(path));
        mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        if (!mdb || !mdb_read_catalog(mdb, MDB_TABLE)) {
            if (mdb)
                mdb_close(mdb);
            throw platform::AppError(QStringLiteral("Cannot read the Access-format database %1.").arg(path));
        }
    }
    ~MdbFile()
    {
        if (mdb)
            mdb_close(mdb);
    }
    MdbFile(const MdbFile&) = delete;
    MdbFile& operator=(const MdbFile&) = delete;

    QList<MdbCatalogEntry*> userTables() const
    {
        QList<MdbCatalogEntry*> tables;
        for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
                tables << entry;
        }
        return tables;
    }
};

// Access keeps a date as days since 30 December 1899; the fraction is the time of day, taken
// without its sign for days before then.
QString dateText(double value)
{
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole));
    const int seconds = static_cast<int>(std::lround(fraction * 86400.0)) % 86400;
    if (seconds == 0)
        return date.toString(Qt::ISODate);
    return QDateTime(date, QTime(0, 0).addSecs(seconds)).toString(Qt::ISODate);
}

} // namespace

struct AccessTable::Handle
{
    MdbFile file;
    MdbTableDef* table = nullptr;
    explicit Handle(const QString& path) : file(path) {}
    ~Handle()
    {
        if (table)
            mdb_free_tabledef(table);
    }
};

QStringList accessTables(const QString& path)
{
    const MdbFile file(path);
    QStringList names;
    for (MdbCatalogEntry* e : file.userTables())
        names << QString::fromUtf8(e->object_name);
    return names;
}

AccessTable::AccessTable(const QString& path, const QString& table) : m_handle(std::make_unique<Handle>(path))
{
    MdbCatalogEntry* found = nullptr;
    QStringList names;
    for (MdbCatalogEntry* e : m_handle->file.userTables()) {
        const QString name = QString::fromUtf8(e->object_name);
        names << name;
        if (!found && name.compare(table, Qt::CaseInsensitive) == 0) {
            found = e;
            m_name = name;
        }
    }
    if (!found) {
        throw platform::AppError(QStringLiteral("The Access-format database %1 has no table \"%2\". Its tables: %3.")
                                     .arg(QFileInfo(path).fileName(), table,
                                          names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
    }
    m_handle->table = mdb_read_table(found);
    if (!m_handle->table || !mdb_read_columns(m_handle->table))
        throw platform::AppError(QStringLiteral("Cannot read the table \"%1\" of %2.").arg(m_name, path));
    for (unsigned int i = 0; i < m_handle->table->num_cols; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(m_handle->table->columns, i));
        m_columns << QString::fromUtf8(col->name);
    }
    mdb_rewind_table(m_handle->table);
}

AccessTable::~AccessTable() = default;

qint64 AccessTable::rowCount() const
{
    return m_handle->table->num_rows;
}

bool AccessTable::next(QStringList& values)
{
    MdbTableDef* table = m_handle->table;
    MdbHandle* mdb = m_handle->file.mdb;
    if (!mdb_fetch_row(table))
        return false;
    ++m_rowsRead;
    values.clear();
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const int start = col->cur_value_start;
        const int len = col->cur_value_len;
        if (col->col_type == MDB_BOOL) {
            values << (len == 0 ? QStringLiteral("Yes") : QStringLiteral("No")); // the null bit holds the value
            continue;
        }
        if (len <= 0) {
            values << QString();
            continue;
        }
        switch (col->col_type) {
        case MDB_DATETIME:
            values << dateText(mdb_get_double(mdb->pg_buf, start));
            break;
        case MDB_OLE:
        case MDB_BINARY:
            values << QStringLiteral("[binary data]");
            break;
        case MDB_MEMO: {
            // The text is converted into a buffer of the bind size: make room for all of it.
            const auto stored = static_cast<size_t>(mdb_get_int32(mdb->pg_buf, start) & 0x3FFFFFFF);
            mdb_set_bind_size(mdb, std::max<size_t>(MDB_BIND_SIZE, std::min<size_t>(stored * 3 + 64, 256u << 20)));
            char* text = mdb_col_to_string(mdb, mdb->pg_buf, start, col->col_type, len);
            values << QString::fromUtf8(text);
            g_free(text);
            mdb_set_bind_size(mdb, MDB_BIND_SIZE);
            break;
        }
        case MDB_NUMERIC: {
            char* text = mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec);
            values << QString::fromUtf8(text);
            g_free(text);
            break;
        }
        default: {
            char* text = mdb_col_to_string(mdb, mdb->pg_buf, start, col->col_type, len);
            values << QString::fromUtf8(text ? text : "");
            g_free(text);
        }
        }
    }
    return true;
}

#else // no libmdb

namespace {

QString noLibrary()
{
    return QStringLiteral("Access-format files cannot be read: this build of the program was made without the "
                          "mdbtools library (libmdb).");
}

} // namespace

struct AccessTable::Handle
{
};

QStringList accessTables(const QString&)
{
    throw platform::AppError(noLibrary());
}

AccessTable::AccessTable(const QString&, const QString&)
{
    throw platform::AppError(noLibrary());
}

AccessTable::~AccessTable() = default;

qint64 AccessTable::rowCount() const
{
    return 0;
}

bool AccessTable::next(QStringList&)
{
    return false;
}

#endif

AccessReader::AccessReader(const QString& path, const QString& table, const ReadOptions& options)
    : ContactReader(options), m_table(path, table), m_mapper(m_table.columns(), RowMapper::Unplaced::Skip)
{
    if (!m_mapper.mapsAnything()) {
        throw platform::AppError(QStringLiteral("No column of the table \"%1\" names a contact field (such as "
                                                "Surname, LastName, FirstName, Address, City); it cannot be imported.")
                                     .arg(m_table.name()));
    }
}

QString AccessReader::description() const
{
    return QStringLiteral("Access-format table \"%1\"").arg(m_table.name());
}

bool AccessReader::next(ReadContact& out)
{
    QStringList values;
    while (m_table.next(values)) {
        const qint64 record = ++m_records;
        ContactDraft d(log(), record, 0, currentYear());
        m_mapper.apply(values, d, log());
        Contact contact = d.finish();
        if (contact.isEmpty()) {
            log().skip(QStringLiteral("(empty rows)"));
            continue;
        }
        out.contact = std::move(contact);
        out.record = record;
        out.line = 0;
        out.movedToNotes = d.movedToNotes();
        out.notStored = d.notStoredCount();
        out.nameTakenFrom.clear();
        return true;
    }
    return false;
}

} // namespace exchange
