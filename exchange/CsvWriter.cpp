#include "exchange/CsvWriter.h"

#include "exchange/ContactDraft.h"

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

QByteArray CsvWriter::quote(const QString& value)
{
    const bool needsQuotes = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
                             value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
    if (!needsQuotes)
        return value.toUtf8();
    QString text = normalizeLineBreaks(value);
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return '"' + text.toUtf8() + '"';
}

void CsvWriter::write(const Contact& contact)
{
    QByteArray row;
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0)
            row += ',';
        row += quote(contact.values[static_cast<std::size_t>(i)]);
    }
    row += "\r\n";
    put(row);
}

} // namespace exchange
