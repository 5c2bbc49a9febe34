#include "data/TextOrder.h"

#include <QCollator>
#include <QLocale>
#include <optional>

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

} // namespace

const QCollator& textCollator()
{
    thread_local std::optional<QCollator> collator;
    thread_local QString made;
    const QLocale locale = collationLocale();
    if (!collator || made != locale.bcp47Name()) {
        collator.emplace(locale);
        // Case is compared last (tertiary strength): it orders "smith" beside "Smith" and never apart from it.
        collator->setCaseSensitivity(Qt::CaseSensitive);
        collator->setNumericMode(true);
        collator->setIgnorePunctuation(false);
        made = locale.bcp47Name();
    }
    return *collator;
}

int compareText(QStringView a, QStringView b)
{
    return textCollator().compare(a, b);
}

} // namespace data
