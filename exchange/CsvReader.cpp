#include "exchange/CsvReader.h"

#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

namespace exchange {

namespace {

char guessSeparator(const QByteArray& header)
{
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted) {
            comma += c == ',';
            semicolon += c == ';';
            tab += c == '\t';
        }
    }
    if (semicolon > comma && semicolon >= tab)
        return ';';
    if (tab > comma && tab > semicolon)
        return '\t';
    return ',';
}

} // namespace

CsvReader::CsvReader(QIODevice& device, const ReadOptions& options) : ContactReader(options), m_lines(device) {}

QString CsvReader::description() const
{
    const QString sep = m_separator == ';'    ? QStringLiteral("semicolon")
                        : m_separator == '\t' ? QStringLiteral("tab")
                                              : QStringLiteral("comma");
    return QStringLiteral("CSV, %1 separated, %2").arg(sep, encodingName(m_lines.encoding()));
}

QString CsvReader::decode(const QByteArray& bytes, qint64 line, const QString& column)
{
    const DecodedValue d = decodeValue(bytes, m_lines.encoding(), m_lines.hasUtf8());
    const QString where = column.isEmpty() ? QStringLiteral("header row") : QStringLiteral("column \"%1\"").arg(column);
    if (d.repair == DecodedValue::Repair::Replaced) {
        log().add(Severity::Warning, column.isEmpty() ? 0 : m_records, line,
                  QStringLiteral("%1: %2 not UTF-8, replaced by \uFFFD.")
                      .arg(where, d.replaced == 1 ? QStringLiteral("1 byte that is")
                                                  : QStringLiteral("%1 bytes that are").arg(d.replaced)));
    } else if (d.repair == DecodedValue::Repair::Windows1252) {
        log().add(Severity::Warning, column.isEmpty() ? 0 : m_records, line,
                  QStringLiteral("%1: text that is not UTF-8 was read as Windows-1252.").arg(where));
    } else if (m_lines.encoding() == TextEncoding::Windows1252 && !m_toldFallback && !isValidUtf8(bytes)) {
        m_toldFallback = true;
        log().add(Severity::Warning, 0, line,
                  QStringLiteral("the file is not UTF-8; it was read as Windows-1252 (first on this line)."));
    }
    return d.text;
}

bool CsvReader::nextRow(QList<QByteArray>& values, qint64& firstLine)
{
    QByteArray line;
    do {
        if (!m_lines.next(line))
            return false;
    } while (line.isEmpty());
    firstLine = m_lines.lineNumber();
    values.clear();

    QByteArray field;
    qsizetype recordBytes = 0;
    qsizetype i = 0;
    bool quoted = false; // inside a quoted value
    bool atFieldStart = true;
    bool afterQuote = false; // a quoted value just closed
    for (;;) {
        if (i >= line.size()) {
            if (!quoted)
                break;
            // A line break inside quotes belongs to the value.
            recordBytes += line.size();
            if (recordBytes > LineReader::MaxLineBytes) {
                throw platform::AppError(
                    QStringLiteral("Line %1: the quoted value that starts here runs past %2 MB; its closing quote is "
                                   "probably missing.")
                        .arg(firstLine)
                        .arg(LineReader::MaxLineBytes / (1024 * 1024)));
            }
            if (!m_lines.next(line)) {
                throw platform::AppError(
                    QStringLiteral("Line %1: a quoted value that starts on this row is never closed (unbalanced "
                                   "quotes); nothing was imported.")
                        .arg(firstLine));
            }
            field += '\n';
            i = 0;
            continue;
        }
        const char c = line[i++];
        if (quoted) {
            if (c == '"') {
                if (i < line.size() && line[i] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                field += c;
            }
        } else if (c == m_separator) {
            values << field;
            field.clear();
            atFieldStart = true;
            afterQuote = false;
        } else if (c == '"' && atFieldStart) {
            quoted = true;
            atFieldStart = false;
        } else {
            if (afterQuote && !m_toldStrayQuote) {
                m_toldStrayQuote = true;
                log().add(Severity::Warning, 0, m_lines.lineNumber(),
                          QStringLiteral("text after the closing quote of a value; kept as part of the value."));
            }
            field += c;
            atFieldStart = false;
        }
    }
    values << field;
    return true;
}

void CsvReader::readHeader()
{
    qint64 line = 0;
    // Peek at the raw header line to choose the separator, then split it as a row.
    QList<QByteArray> raw;
    {
        QByteArray headerLine;
        do {
            if (!m_lines.next(headerLine))
                throw platform::AppError(QStringLiteral("The CSV file is empty: it has no header row."));
        } while (headerLine.trimmed().isEmpty());
        line = m_lines.lineNumber();
        m_separator = guessSeparator(headerLine);
        // The header has no line breaks inside quotes in practice; split it as it stands.
        QByteArray field;
        bool quoted = false;
        for (qsizetype i = 0; i < headerLine.size(); ++i) {
            const char c = headerLine[i];
            if (c == '"') {
                if (quoted && i + 1 < headerLine.size() && headerLine[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
            } else if (c == m_separator && !quoted) {
                raw << field;
                field.clear();
            } else {
                field += c;
            }
        }
        if (quoted)
            throw platform::AppError(QStringLiteral("Line %1: the header row has an unbalanced quote.").arg(line));
        raw << field;
    }
    QStringList names;
    for (const QByteArray& r : raw)
        names << decode(r, line, {}).trimmed();
    m_mapper = std::make_unique<RowMapper>(names);
    m_columnCount = names.size();
    if (!m_mapper->mapsAnything()) {
        throw platform::AppError(
            QStringLiteral("Line %1: the header row names no contact field (such as Surname, Last Name, First Name, "
                           "E-mail Address); the CSV file cannot be imported.")
                .arg(line));
    }
}

bool CsvReader::next(ReadContact& out)
{
    if (!m_mapper)
        readHeader();
    QList<QByteArray> raw;
    qint64 line = 0;
    for (;;) {
        if (!nextRow(raw, line))
            return false;
        const qint64 record = ++m_records;
        ContactDraft d(log(), record, line, currentYear());
        QStringList values;
        values.reserve(raw.size());
        const QStringList& columns = m_mapper->columnNames();
        for (qsizetype i = 0; i < raw.size(); ++i)
        {
            const QString name = columns.value(i);
            values << decode(raw[i], line, name.isEmpty() ? QString::number(i + 1) : name);
        }
        if (values.size() < m_columnCount && !(values.size() == 1 && values[0].isEmpty())) {
            d.warn(QStringLiteral("the row has %1 values but the header has %2 columns; the missing values are left "
                                  "empty.")
                       .arg(values.size())
                       .arg(m_columnCount));
        } else if (values.size() > m_columnCount) {
            qint64 extra = 0;
            for (qsizetype i = m_columnCount; i < values.size(); ++i) {
                if (!values[i].trimmed().isEmpty()) {
                    d.addNoteLine(QStringLiteral("Extra value: %1").arg(normalizeLineBreaks(values[i])));
                    ++extra;
                }
            }
            if (extra > 0) {
                d.warn(QStringLiteral("the row has %1 values but the header has %2 columns; the %3 extra values are "
                                      "kept in Notes.")
                           .arg(values.size())
                           .arg(m_columnCount)
                           .arg(extra));
            }
        }
        m_mapper->apply(values, d, log());
        d.nameFromOtherFields();
        Contact contact = d.finish();
        if (contact.isEmpty()) {
            log().skip(QStringLiteral("(empty rows)"));
            continue;
        }
        out.contact = std::move(contact);
        out.record = record;
        out.line = line;
        out.movedToNotes = d.movedToNotes();
        out.notStored = d.notStoredCount();
        out.nameTakenFrom = d.nameTakenFrom();
        return true;
    }
}

} // namespace exchange
