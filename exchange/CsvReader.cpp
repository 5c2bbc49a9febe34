#include "exchange/CsvReader.h"

#include "exchange/ContactDraft.h"
#include "platform/AppError.h"

#include <cstring>

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

NoNameColumn::NoNameColumn(qint64 line, QStringList columns)
    : platform::AppError(
          QStringLiteral("Line %1: no column is taken for a name (Surname, Firstname or Workplace), so every contact "
                         "would come in without one. The columns are: %2. Say what they hold with --map, for example "
                         "--map \"%3=Firstname,%4=Surname\" (a field, Notes or Skip for each column).")
              .arg(line)
              .arg(columns.join(QStringLiteral(", ")), columns.value(0, QStringLiteral("Column1")),
                   columns.value(1, QStringLiteral("Column2")))),
      m_columns(std::move(columns))
{
}

CsvReader::CsvReader(QIODevice& device, const ReadOptions& options)
    : ContactReader(options), m_lines(device), m_choices(options.columns)
{
}

QString CsvReader::description() const
{
    const QString sep = m_separator == ';'    ? QStringLiteral("semicolon")
                        : m_separator == '\t' ? QStringLiteral("tab")
                                              : QStringLiteral("comma");
    return QStringLiteral("CSV, %1 separated, %2").arg(sep, encodingName(m_lines.encoding()));
}

QString CsvReader::decode(QByteArrayView bytes, qint64 line, qsizetype column)
{
    const DecodedValue d = decodeValue(bytes, m_lines.encoding(), m_lines.hasUtf8());
    if (d.repair == DecodedValue::Repair::None) {
        if (m_lines.encoding() == TextEncoding::Windows1252 && !m_toldFallback && !isValidUtf8(bytes)) {
            m_toldFallback = true;
            log().add(Severity::Warning, 0, line,
                      QStringLiteral("the file is not UTF-8; it was read as Windows-1252 (first on this line)."));
        }
        return d.text;
    }
    // Named only when there is something to say: this runs for every value of the file.
    const QStringList& names = m_mapper ? m_mapper->columnNames() : QStringList();
    const QString name =
        column < names.size() && !names[column].isEmpty() ? names[column] : QString::number(column + 1);
    const QString where = column < 0 ? QStringLiteral("header row") : QStringLiteral("column \"%1\"").arg(name);
    if (d.repair == DecodedValue::Repair::Replaced) {
        log().add(Severity::Warning, column < 0 ? 0 : m_records, line,
                  QStringLiteral("%1: %2 not UTF-8, replaced by \uFFFD.")
                      .arg(where, d.replaced == 1 ? QStringLiteral("1 byte that is")
                                                  : QStringLiteral("%1 bytes that are").arg(d.replaced)));
    } else {
        log().add(Severity::Warning, column < 0 ? 0 : m_records, line,
                  QStringLiteral("%1: text that is not UTF-8 was read as Windows-1252.").arg(where));
    }
    return d.text;
}

bool CsvReader::nextRow(qint64& firstLine)
{
    QByteArray& line = m_row;
    do {
        if (!m_lines.next(line))
            return false;
    } while (line.isEmpty());
    firstLine = m_lines.lineNumber();
    m_spans.clear();

    // Most rows have no quotes: their values are slices of the line as it stands.
    if (!line.contains('"')) {
        const char* d = line.constData();
        const qsizetype n = line.size();
        qsizetype from = 0;
        for (;;) {
            const void* hit = std::memchr(d + from, m_separator, size_t(n - from));
            if (!hit)
                break;
            const qsizetype at = static_cast<const char*>(hit) - d;
            m_spans.emplace_back(from, at - from);
            from = at + 1;
        }
        m_spans.emplace_back(from, n - from);
        return true;
    }

    // Quotes are taken out in place: a value never grows, so each is written over the bytes it was read from.
    qsizetype recordBytes = 0;
    qsizetype i = 0, w = 0, fieldStart = 0;
    bool quoted = false; // inside a quoted value
    bool atFieldStart = true;
    bool afterQuote = false; // a quoted value just closed
    char* d = line.data();
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
            QByteArray next;
            if (!m_lines.next(next)) {
                throw platform::AppError(
                    QStringLiteral("Line %1: a quoted value that starts on this row is never closed (unbalanced "
                                   "quotes); nothing was imported.")
                        .arg(firstLine));
            }
            line.truncate(w);
            line += '\n';
            line += next;
            // The bytes not yet read now start after the line break.
            i = w;
            d = line.data();
            continue;
        }
        const char c = d[i++];
        if (quoted) {
            if (c == '"') {
                if (i < line.size() && d[i] == '"') {
                    d[w++] = '"';
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                d[w++] = c;
            }
        } else if (c == m_separator) {
            m_spans.emplace_back(fieldStart, w - fieldStart);
            fieldStart = w;
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
            d[w++] = c;
            atFieldStart = false;
        }
    }
    m_spans.emplace_back(fieldStart, w - fieldStart);
    line.truncate(w);
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
        names << decode(r, line, -1).trimmed();
    // A column named wrongly would leave its values where the user did not want them.
    for (const auto& [column, choice] : m_choices) {
        bool found = false;
        for (const QString& n : names)
            found = found || choiceFor({{column, choice}}, n);
        if (!found)
            throw platform::AppError(QStringLiteral("Line %1: there is no column \"%2\" to map; the columns are: %3.")
                                         .arg(line)
                                         .arg(column, names.join(QStringLiteral(", "))));
    }
    m_mapper = std::make_unique<RowMapper>(names, RowMapper::Unplaced::ToNotes, m_choices);
    m_columnCount = names.size();
    // Every contact would come in without a name, and the user would not know why.
    if (!m_mapper->mapsName())
        throw NoNameColumn(line, names);
}

bool CsvReader::next(ReadContact& out)
{
    if (!m_mapper)
        readHeader();
    qint64 line = 0;
    QStringList values;
    for (;;) {
        if (!nextRow(line))
            return false;
        const qint64 record = ++m_records;
        ContactDraft d(log(), record, line, currentYear());
        values.clear();
        values.reserve(qsizetype(m_spans.size()));
        const QByteArrayView row(m_row);
        for (size_t i = 0; i < m_spans.size(); ++i)
            values << decode(row.sliced(m_spans[i].first, m_spans[i].second), line, qsizetype(i));
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
