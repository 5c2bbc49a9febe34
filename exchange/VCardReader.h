#pragma once

#include "exchange/ContactReader.h"
#include "exchange/LineReader.h"
#include "exchange/VCardSyntax.h"

#include <QSet>
#include <vector>

namespace exchange {

// Reads vCard 2.1, 3.0 and 4.0 cards one at a time from a stream.
//
// N gives Surname, Firstname and Midname (FN is split only when there is no N). ADR (the one typed
// home, else the first): street lines, then the PO box, fill Address1 and Address2, the extended address
// A3_Village, then Town, County, PostCode and Country. A card without ADR takes its LABEL's lines as street
// lines. TEL: cell to Cell, work to Work Tel, home to Tel; an untyped number fills Tel when it is free, unless
// it is labelled Other; a tel: URI's extension goes to Notes. A quoted-printable value broken over lines without
// a soft line break goes on in the lines that cannot be properties. EMAIL (the preferred one, else the first), BDAY,
// NOTE, ORG's name to Workplace, CATEGORIES to Flag and Flag2 (ContactDraft::setCategories).
// Values with no field of their own go to Notes as labelled lines in the card's order: further
// addresses, numbers and e-mail addresses, fax and pager numbers, name prefix and suffix, ORG's units,
// URL, NICKNAME, TITLE, ROLE, ANNIVERSARY, instant-messaging handles, Apple's labelled dates and names.
// PHOTO, LOGO, SOUND and KEY are counted as not stored; other properties (UID, REV...) are skipped and
// counted in the log. A card without a name is named by ContactDraft::nameFromOtherFields. A cut-off
// card is read as far as it goes.
class VCardReader final : public ContactReader
{
public:
    explicit VCardReader(QIODevice& device, const ReadOptions& options = {});

    [[nodiscard]] bool next(ReadContact& out) override;
    [[nodiscard]] qint64 progressDone() const override { return m_lines.position(); }
    [[nodiscard]] qint64 progressTotal() const override { return m_lines.size(); }
    [[nodiscard]] QString description() const override;
    // The kinds of property that have no field of their own (UID, X-PHONETIC-FIRST-NAME...), in the order first
    // seen: the user may say where each goes, as for a CSV file's columns (ReadOptions::columns).
    [[nodiscard]] QStringList columnNames() const override { return m_otherKinds; }
    [[nodiscard]] bool columnsAreProperties() const override { return true; }

private:
    bool nextContentLine(QByteArray& line, qint64& lineNumber);
    bool rawLine(QByteArray& line, qint64& lineNumber);
    void unread(QByteArray line, qint64 lineNumber) { m_pushback.emplace_back(std::move(line), lineNumber); }
    [[nodiscard]] Contact build(const QList<vcard::Property>& props, qint64 record, qint64 line);
    [[nodiscard]] QString text(const vcard::Property& p);

    class CardBuilder;

    // What build() did beside the values, for the ReadContact.
    struct BuiltCard
    {
        int movedToNotes = 0;
        int notStored = 0;
        QString nameTakenFrom;
    };

    LineReader m_lines;
    BuiltCard m_built;
    std::vector<std::pair<QByteArray, qint64>> m_pushback; // a stack: the last line put back comes first
    qint64 m_records = 0;
    qint64 m_strayLines = 0;
    bool m_toldFallback = false;
    QSet<QByteArray> m_toldCharsets; // declared character sets the text was found not to be in
    ColumnChoices m_choices;
    QStringList m_otherKinds;
};

} // namespace exchange
