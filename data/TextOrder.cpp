#include "data/TextOrder.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QTextBoundaryFinder>
#include <memory>
#include <optional>
#include <unicode/ucol.h>

namespace data {

namespace {

QLocale collationLocale()
{
    const QLocale locale;
    // The C locale compares code points, which puts every lower-case and accented initial after "Z".
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

QCollator makeCollator(const QLocale& locale, Qt::CaseSensitivity sensitivity)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(sensitivity);
    collator.setNumericMode(true);
    collator.setIgnorePunctuation(false);
    return collator;
}

// Qt's collator offers no primary strength (case and accents both aside): ICU's own, in the same locale.
struct PrimaryCollator
{
    struct Close
    {
        void operator()(UCollator* c) const { ucol_close(c); }
    };
    std::unique_ptr<UCollator, Close> collator;
    QString locale;
    QHash<QString, QString> initials; // the initial of each first character met, worked out once
};

PrimaryCollator& primaryCollator()
{
    thread_local PrimaryCollator primary;
    const QString name = collationLocale().name();
    if (primary.locale != name || !primary.collator) {
        UErrorCode status = U_ZERO_ERROR;
        primary.collator.reset(ucol_open(name.toLatin1().constData(), &status));
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            primary.collator.reset(ucol_open("", &status)); // the common (root) collation
        }
        if (primary.collator)
            ucol_setStrength(primary.collator.get(), UCOL_PRIMARY);
        primary.locale = name;
        primary.initials.clear();
    }
    return primary;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

const QCollator& textCollator()
{
    thread_local std::optional<QCollator> collator;
    thread_local QString made;
    const QLocale locale = collationLocale();
    if (!collator || made != locale.bcp47Name()) {
        // Case is compared last (tertiary strength): it orders "smith" beside "Smith" and never apart from it.
        collator.emplace(makeCollator(locale, Qt::CaseSensitive));
        made = locale.bcp47Name();
    }
    return *collator;
}

const QCollator& textCollatorIgnoringCase()
{
    thread_local std::optional<QCollator> collator;
    thread_local QString made;
    const QLocale locale = collationLocale();
    if (!collator || made != locale.bcp47Name()) {
        collator.emplace(makeCollator(locale, Qt::CaseInsensitive));
        made = locale.bcp47Name();
    }
    return *collator;
}

int compareText(QStringView a, QStringView b)
{
    return textCollator().compare(a, b);
}

bool sameLetters(QStringView a, QStringView b)
{
    UCollator* collator = primaryCollator().collator.get();
    if (!collator)
        return a.compare(b, Qt::CaseInsensitive) == 0;
    return ucol_strcoll(collator, reinterpret_cast<const UChar*>(a.utf16()), int32_t(a.size()),
                        reinterpret_cast<const UChar*>(b.utf16()), int32_t(b.size())) == UCOL_EQUAL;
}

QString readingInitial(QStringView text)
{
    if (text.isEmpty())
        return {};
    const QChar first = text.front();
    // Nearly every surname starts with a plain letter: no collation needed.
    if (first.unicode() < 0x80 && (text.size() == 1 || text[1].unicode() < 0x80))
        return isAsciiLetter(first) ? QString(first.toUpper()) : QString(first);

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.toString());
    const qsizetype end = finder.toNextBoundary();
    const QString grapheme = text.left(end > 0 ? end : 1).toString();
    PrimaryCollator& primary = primaryCollator();
    if (const auto it = primary.initials.constFind(grapheme); it != primary.initials.constEnd())
        return *it;

    QString initial;
    // A plain letter the collation makes no difference to: "Å" is "A" in English, "Ø" is "O" (though it has no
    // decomposition), while Swedish keeps "Å" a letter of its own.
    for (char16_t plain = u'A'; initial.isEmpty() && plain <= u'Z'; ++plain)
        if (sameLetters(QStringView(&plain, 1), grapheme))
            initial = QString(QChar(plain));
    // Other scripts: the letter under its accent ("ά" is "α" and a tonos), where the collation agrees.
    if (initial.isEmpty()) {
        const char32_t letter = grapheme.normalized(QString::NormalizationForm_D).toUcs4().value(0);
        const QString base = QString::fromUcs4(&letter, 1).toUpper();
        if (sameLetters(base, grapheme))
            initial = base;
    }
    if (initial.isEmpty())
        initial = grapheme.toUpper();
    primary.initials.insert(grapheme, initial);
    return initial;
}

} // namespace data
