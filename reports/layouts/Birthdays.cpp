#include "reports/layouts/Birthdays.h"

#include "data/TextOrder.h"

#include <QLocale>
#include <algorithm>

namespace reports {

namespace {

enum ExtraField { BirthMonth, BirthDate, Age, Name, ExtraCount };
const char* const kExtraNames[ExtraCount] = {"BirthMonth", "BirthDate", "Age", "Name"};

} // namespace

BirthdaySource::BirthdaySource(RecordSource& inner, int year) : m_inner(inner), m_year(year)
{
    // The extra fields are numbered above any field of the source.
    m_innerFields = 1024;
    const int birthdayField = inner.fieldIndex(QStringLiteral("Birthday"));
    const int notesField = inner.fieldIndex(QStringLiteral("Notes"));
    const int surname = inner.fieldIndex(QStringLiteral("Surname"));
    const int firstname = inner.fieldIndex(QStringLiteral("Firstname"));
    for (int r = 0; r < inner.rowCount(); ++r) {
        const auto b = data::birthdayOf(birthdayField >= 0 ? inner.text(r, birthdayField) : QString(),
                                  notesField >= 0 ? inner.text(r, notesField) : QString());
        if (b)
            m_rows.push_back({r, *b});
    }
    auto nameOf = [&](int r, int field) { return field >= 0 ? inner.text(r, field) : QString(); };
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Row& a, const Row& b) {
        if (a.birthday.month != b.birthday.month)
            return a.birthday.month < b.birthday.month;
        if (a.birthday.day != b.birthday.day)
            return a.birthday.day < b.birthday.day;
        const int bySurname = data::compareText(nameOf(a.inner, surname), nameOf(b.inner, surname));
        if (bySurname != 0)
            return bySurname < 0;
        return data::compareText(nameOf(a.inner, firstname), nameOf(b.inner, firstname)) < 0;
    });
}

int BirthdaySource::fieldIndex(const QString& name) const
{
    for (int i = 0; i < ExtraCount; ++i)
        if (name.compare(QLatin1String(kExtraNames[i]), Qt::CaseInsensitive) == 0)
            return m_innerFields + i;
    return m_inner.fieldIndex(name);
}

QString BirthdaySource::text(int row, int field) const
{
    const Row& r = m_rows[size_t(row)];
    if (field < m_innerFields)
        return m_inner.text(r.inner, field);
    const QLocale locale;
    switch (field - m_innerFields) {
    case BirthMonth:
        return locale.standaloneMonthName(r.birthday.month);
    case BirthDate:
        return QStringLiteral("%1 %2").arg(r.birthday.day).arg(locale.monthName(r.birthday.month));
    case Age: {
        const int age = data::ageReached(r.birthday, m_year);
        return age > 0 ? QString::number(age) : QString();
    }
    case Name:
        return QStringList{m_inner.text(r.inner, QStringLiteral("Firstname")),
                           m_inner.text(r.inner, QStringLiteral("Surname"))}
            .join(QLatin1Char(' '))
            .trimmed();
    default:
        return {};
    }
}

ReportDefinition birthdaysReport()
{
    ReportDefinition d;
    d.name = QStringLiteral("BirthdayReport");
    d.title = QStringLiteral("Birthdays");
    d.paper = Paper::a4();
    d.orientation = Orientation::Portrait;
    d.margins = {10.0, 10.0, 10.0, 10.0};
    d.columns = 1;
    d.footerOnLastPage = true;
    d.printIfEmpty = false;
    d.defaultFont = ReportFont::arial(8);

    Band title{BandKind::Title, QStringLiteral("TitleBand1"), 7.9, {}, {}, {}};
    Element caption = textElement(QStringLiteral("QRLabel1"), 0, 0.3, QStringLiteral("Tovrel Birthdays"));
    caption.font = ReportFont::arial(14, true);
    caption.alignment = Alignment::Center;
    caption.alignToBand = true;
    caption.autoSize = false;
    caption.width = 190.0;
    title.elements.push_back(caption);

    struct Column
    {
        double left;
        const char* caption;
        const char* field;
    };
    const Column columns[] = {
        {0.5, "Day", "BirthDate"}, {25.0, "Name", "Name"}, {95.0, "Age", "Age"}, {110.0, "Tel", "Tel"},
        {140.0, "Cell Phone", "Cell"}};
    const double bandWidth = PageGeometry::of(d).fullWidth;

    Band header{BandKind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 5.8, {}, {}, {}};
    Band detail{BandKind::Detail, QStringLiteral("DetailBand1"), 6.6, {}, {}, {}};
    detail.frame.top = true;
    int n = 2;
    for (size_t i = 0; i < std::size(columns); ++i) {
        const Column& c = columns[i];
        Element h = textElement(QStringLiteral("QRLabel%1").arg(n), c.left, 0.0, QString::fromLatin1(c.caption));
        h.font = ReportFont::arial(10, true);
        header.elements.push_back(h);
        Element e = fieldElement(QStringLiteral("QRDBText%1").arg(n - 1), c.left, 1.1, QString::fromLatin1(c.field));
        e.font = ReportFont::arial(9);
        fitToPlace(e, i + 1 < std::size(columns) ? columns[i + 1].left : bandWidth, kMinPointSize);
        detail.elements.push_back(e);
        ++n;
    }

    const QString month = QStringLiteral("HomeQuery.BirthMonth");
    Band group{BandKind::GroupHeader, QStringLiteral("QRGroup1"), 6.0, {}, month, {}};
    Element monthName = expressionElement(QStringLiteral("QRExpr1"), 0.5, 0.8, month);
    monthName.font = ReportFont::arial(10, true);
    fitToPlace(monthName, bandWidth, kMinPointSize);
    group.elements.push_back(monthName);

    const Band footer = pageNumberFooter(12.0);

    d.bands = {title, header, group, detail, footer};
    return d;
}

} // namespace reports
