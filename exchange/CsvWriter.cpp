#include "exchange/CsvWriter.h"

#include "exchange/Utf8Append.h"

namespace exchange {

CsvWriter::CsvWriter(QIODevice& device) : ContactWriter(device)
{
    QByteArray header = "\xEF\xBB\xBF";
    for (const FieldInfo& fi : Fields) {
        if (fi.field != Field::Surname)
            header += ',';
        header += quote(QString::fromLatin1(fi.name));
    }
    header += "\r\n";
    put(header);
}

namespace {

// A value as a field of the row: quoted when it holds a comma, a quote or a line break, in one pass.
void appendField(QByteArray& row, QStringView value)
{
    bool needsQuotes = false;
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u == ',' || u == '"' || u == '\n' || u == '\r') {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes) {
        for (qsizetype i = 0; i < value.size();)
            i = appendUtf8Char(row, value, i);
        return;
    }
    row += '"';
    for (qsizetype i = 0; i < value.size();) {
        const char16_t u = value[i].unicode();
        if (u == '"') {
            row += "\"\"";
            ++i;
        } else if (u == '\r' || u == '\n') {
            // Every line break is written as CR LF, a CR LF once.
            row += "\r\n";
            i += (u == '\r' && i + 1 < value.size() && value[i + 1] == QLatin1Char('\n')) ? 2 : 1;
        } else {
            i = appendUtf8Char(row, value, i);
        }
    }
    row += '"';
}

} // namespace

QByteArray CsvWriter::quote(const QString& value)
{
    QByteArray out;
    appendField(out, value);
    return out;
}

void CsvWriter::write(const Contact& contact)
{
    m_row.clear(); // its room is kept from row to row
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0)
            m_row += ',';
        appendField(m_row, contact.values[static_cast<std::size_t>(i)]);
    }
    m_row += "\r\n";
    put(m_row);
}

} // namespace exchange
