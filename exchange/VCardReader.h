#pragma once

#include "exchange/ContactReader.h"
#include "exchange/LineReader.h"
#include "exchange/VCardSyntax.h"

#include <vector>

namespace exchange {

// Reads vCard 2.1, 3.0 and 4.0 cards one at a time from a stream.
//
// N gives Surname, Firstname and Midname (FN is split only when there is no N). ADR (the one typed
// home, else the first): PO box and street lines fill Address1 and Address2, the extended address
// A3_Village, then Town, County, PostCode and Country. TEL: cell to Cell, work to Work Tel, home to
// Tel; an untyped number fills Tel when it is free; fax and pager numbers are skipped. EMAIL (the
// preferred one, else the first), BDAY, NOTE, ORG to Workplace, CATEGORIES to Flag and Flag2.
// Whatever has no place is skipped and counted in the log; a cut-off card is read as far as it goes.
class VCardReader final : public ContactReader
{
public:
    explicit VCardReader(QIODevice& device, const ReadOptions& options = {});

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_lines.position(); }
    [[nodiscard]] qint64 progressTotal() const override { return m_lines.size(); }
    [[nodiscard]] QString description() const override;

private:
    bool nextContentLine(QByteArray& line, qint64& lineNumber);
    bool rawLine(QByteArray& line, qint64& lineNumber);
    void unread(QByteArray line, qint64 lineNumber) { m_pushback.emplace_back(std::move(line), lineNumber); }
    [[nodiscard]] Contact build(const QList<vcard::Property>& props, qint64 record, qint64 line);
    [[nodiscard]] QString text(const vcard::Property& p);

    LineReader m_lines;
    std::vector<std::pair<QByteArray, qint64>> m_pushback; // a stack: the last line put back comes first
    qint64 m_records = 0;
    qint64 m_strayLines = 0;
    bool m_toldFallback = false;
    vcard::Version m_version = vcard::Version::V30;
};

} // namespace exchange
