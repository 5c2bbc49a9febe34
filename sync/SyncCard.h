#pragma once

#include "exchange/ContactFields.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <array>

namespace sharing {

// One vCard as the shared address book holds it: the contact's fields, and everything else kept verbatim. A value
// longer than its field is fitted to it as an import fits it (the whole value added to Notes); the card keeps it
// whole, as only a field changed here is written back.
//
// The mapping is the one the vCard writer uses, so that a card written from a contact reads back as the same
// contact: N (surname; first name; middle name), the home (else the first) ADR, TEL typed cell / work / home
// (an untyped number fills Tel when it is free), the preferred (else the first) EMAIL, BDAY when it is a date
// or written as text, the first NOTE, the first ORG, and the first two CATEGORIES. Every other property
// (photos, further numbers, addresses and e-mail addresses, URLs, groups, a third category, X- properties) is
// kept as its content line, so that writing the card back never strips what another client stored.
struct SyncCard
{
    exchange::Contact contact;
    QByteArray uid;
    bool version4 = false;
    bool group = false;        // KIND:group (or X-ADDRESSBOOKSERVER-KIND:group): a list of members, not a person
    QByteArray nameExtras;     // N's honorific prefix and suffix as written (";Dr.;Jr."), empty when none
    QList<QByteArray> foreign; // unfolded content lines with no field here, in the card's order

    // The card as read, so that a change made here is written over it: only the properties (and within them the
    // components) that hold a changed field are rewritten, everything else goes back as it came.
    QList<QByteArray> lines;   // unfolded content lines between BEGIN and END
    QList<QByteArray> written; // the same lines as they were written (folded, each ended by CR LF)
    exchange::Contact read;    // the fields as read
    QString noteAsRead;        // Notes as the card holds it, before the whole values of fitted ones were added
    QStringList fittedLines;   // the lines added to Notes for values fitted here ("Cell: <whole value>")
    QByteArray readUid;
    std::array<qsizetype, exchange::FieldCount> source{}; // the line that holds each field; -1: none
    QList<qsizetype> categoryLines;
    qsizetype formattedLine = -1, uidLine = -1, revLine = -1;

    // Same contact, same kept properties: what matters when deciding whether a card changed.
    [[nodiscard]] bool sameContent(const SyncCard& other) const
    {
        return contact == other.contact && foreign == other.foreign && nameExtras == other.nameExtras;
    }
};

// Reads the first card of `text`. Throws platform::AppError when it holds no BEGIN:VCARD.
[[nodiscard]] SyncCard parseCard(const QByteArray& text);

// Writes a card (vCard 3.0, or 4.0 when `card.version4`), UID and the kept properties included. A card that was
// read is written over its lines as read, with only what holds a changed field rewritten.
[[nodiscard]] QByteArray composeCard(const SyncCard& card);

// Whether a card written for `card.contact` over a card that read as `card.read` holds what was meant, read back
// as `back`: the same fields, except where a value read was cleared (the next value of its kind on the card, a
// second e-mail address, an unlabelled number, another address or the street's next line, then reads into the
// field) and except for the whole values that Notes gets for values fitted here.
[[nodiscard]] bool holdsWhatWasMeant(const SyncCard& card, const SyncCard& back);

// Adds properties with no field here (content lines) that the card does not hold yet, after its own.
void addProperties(SyncCard& card, const QList<QByteArray>& lines);

// The kept properties as stored beside the contact: one content line each, CR LF between them.
[[nodiscard]] QByteArray joinLines(const QList<QByteArray>& lines);
[[nodiscard]] QList<QByteArray> splitLines(const QByteArray& text);

// The fields of a contact as one text (for the sync state) and back.
[[nodiscard]] QString packFields(const exchange::Contact& contact);
[[nodiscard]] exchange::Contact unpackFields(const QString& text);

} // namespace sharing
