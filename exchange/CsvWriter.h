#pragma once

#include "exchange/ContactWriter.h"

namespace exchange {

// CSV after RFC 4180: UTF-8 with a byte-order mark (so that spreadsheets take it for UTF-8), a header
// row of the field names, comma separated, CR LF after each row. A value holding a comma, a quote or a
// line break is quoted, quotes doubled; line breaks inside a value are written as CR LF.
class CsvWriter final : public ContactWriter
{
public:
    explicit CsvWriter(QIODevice& device);
    void write(const Contact& contact) override;

    [[nodiscard]] static QByteArray quote(const QString& value);

private:
    QByteArray m_row;
};

} // namespace exchange
