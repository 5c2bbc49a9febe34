#include "data/DateText.h"

#include <QLocale>

namespace data {

QString toStorage(const QDate& date) { return date.isValid() ? date.toString(Qt::ISODate) : QString(); }

QDate fromStorage(const QString& text)
{
    if (text.isEmpty())
        return {};
    // Some writers store a time part as well: the date is the first ten characters.
    return QDate::fromString(text.left(10), Qt::ISODate);
}

QString displayDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString formatDate(const QDate& date) { return date.isValid() ? date.toString(displayDateFormat()) : QString(); }

std::optional<QDate> parseDate(const QString& input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return QDate();
    const QString formats[] = {displayDateFormat(), QStringLiteral("yyyy-MM-dd"), QStringLiteral("d/M/yyyy"),
                               QStringLiteral("d.M.yyyy"),  QStringLiteral("d-M-yyyy"),  QStringLiteral("d/M/yy")};
    for (const QString& format : formats) {
        QDate date = QDate::fromString(text, format);
        if (date.isValid()) {
            if (format.endsWith(QLatin1String("/yy")) && date.year() < 1930)
                date = date.addYears(100);
            return date;
        }
    }
    return std::nullopt;
}

} // namespace data
