#pragma once

// A generated address book shaped like a real one, for the duplicates benchmark: thousands of surnames with a few
// common ones, households that share a surname, an address, a landline and sometimes an e-mail, numbers drawn from
// a few shared ranges (so that strangers now and then share one by chance), a few switchboards behind which many
// work, and a few people entered twice with small differences. Deterministic by seed: it draws only raw numbers
// from the engine, never through a library distribution.

#include <QString>
#include <QStringList>
#include <array>
#include <deque>
#include <random>

namespace bench {

class RealisticBook
{
public:
    explicit RealisticBook(unsigned seed) : m_rng(seed) {}

    // The stored fields of the next contact, in the table's column order (Cap excluded), as generateContact().
    QStringList next()
    {
        QStringList row;
        if (!m_recent.empty() && below(3)) {
            row = retyped(m_recent[draw(m_recent.size())]);
        } else if (m_household > 0) {
            --m_household;
            row = relative(m_householdRow);
        } else {
            row = stranger();
            if (below(20)) { // the first of a household of two to four
                m_household = 1 + int(draw(3));
                m_householdRow = row;
            }
        }
        m_recent.push_back(row);
        if (m_recent.size() > 5000)
            m_recent.pop_front();
        return row;
    }

private:
    enum Column { Surname, Midname, Firstname, Address1, Address2, Village, Town, County, PostCode, Country, Tel,
                  Cell, Email, Birthday, Notes, Workplace, WorkTel, Flag, Flag2, ColumnCount };

    size_t draw(size_t n) { return size_t(m_rng() % n); }
    bool below(unsigned percent) { return m_rng() % 100 < percent; }
    template <size_t N>
    QString pick(const std::array<const char*, N>& values)
    {
        return QString::fromUtf8(values[draw(N)]);
    }
    QString digits(size_t n, uint64_t value) const { return QStringLiteral("%1").arg(value, int(n), 10, QLatin1Char('0')); }

    static constexpr std::array<const char*, 40> Common = {
        "Smith", "Jones", "Williams", "Taylor", "Brown", "Davies", "Evans", "Wilson", "Thomas", "Johnson",
        "Roberts", "Robinson", "Thompson", "Wright", "Walker", "White", "Edwards", "Hughes", "Green", "Hall",
        "Lewis", "Harris", "Clarke", "Patel", "Jackson", "Wood", "Turner", "Martin", "Cooper", "Hill",
        "Ward", "Morris", "Moore", "Clark", "Lee", "King", "Baker", "Harrison", "Morgan", "Allen"};
    static constexpr std::array<const char*, 48> Front = {
        "Ash", "Black", "Brad", "Brook", "Cald", "Carr", "Chad", "Crow", "Dal", "Dun", "Fair", "Farn",
        "Fitz", "Gold", "Grims", "Hart", "Hay", "Hol", "Kirk", "Lang", "Lind", "Mar", "Mel", "Mor",
        "Nor", "Oak", "Pen", "Pick", "Rad", "Rams", "Red", "Rush", "Sand", "Shaw", "Stan", "Sut",
        "Thorn", "Tre", "Under", "Wal", "War", "Wes", "Whit", "Wil", "Win", "Wor", "Yar", "Zel"};
    static constexpr std::array<const char*, 40> Back = {
        "ley", "ton", "ford", "by", "ham", "wood", "field", "well", "worth", "combe", "stead", "more",
        "ridge", "bury", "den", "holm", "shaw", "wick", "thorpe", "cott", "win", "man", "son", "ing",
        "er", "ett", "ock", "ard", "low", "gate", "mere", "dale", "hurst", "land", "brook", "ster",
        "ney", "ow", "ell", "ick"};
    static constexpr std::array<const char*, 64> Given = {
        "Oliver", "George", "Harry", "Jack", "Amelia", "Olivia", "Isla", "Emily", "Zoë", "Łucja", "Siân", "Eóin",
        "Ava", "Noah", "Mia", "Leo", "Ivy", "Arthur", "Freya", "Grace", "Henry", "Isabella", "James", "Lily",
        "Muhammad", "Nina", "Oscar", "Poppy", "Rosie", "Samuel", "Sophie", "Theo", "Thomas", "William", "Alfie",
        "Charlotte", "Daisy", "Ella", "Evie", "Florence", "Hannah", "Jacob", "Joshua", "Lucy", "Max", "Ruby",
        "Sofia", "Alice", "Ben", "Chloe", "Daniel", "Erin", "Finn", "Gemma", "Ian", "Jane", "Karen", "Liam",
        "Mark", "Niamh", "Paul", "Rachel", "Sarah", "Tom"};
    static constexpr std::array<const char*, 12> Streets = {
        "High Street", "Station Road", "Church Lane", "Mill Road", "Park Avenue", "The Green", "Victoria Road",
        "Manor Close", "Queen's Drive", "Orchard Way", "School Lane", "Chapel Street"};
    static constexpr std::array<const char*, 8> Domains = {"example.org", "example.net", "example.com", "mail.example",
                                                           "post.example", "home.example", "web.example", "uk.example"};
    static constexpr std::array<const char*, 8> Companies = {"County Council", "NHS Trust", "Acme Ltd", "Bank plc",
                                                             "University", "Rail Ltd", "Water plc", "Post Office"};

    // A surname: one of the forty most common for three people in ten, else one of about two thousand.
    QString surname()
    {
        if (below(30))
            return pick(Common);
        return pick(Front) + pick(Back);
    }
    // A first name: one of the usual sixty-four for three in four, else one made of two parts.
    QString firstname()
    {
        if (below(75))
            return pick(Given);
        return pick(Front) + pick(Back).left(3);
    }
    // One of a few hundred towns, each with its area code and post code district.
    void place(QStringList& row, size_t town)
    {
        row[Town] = QString::fromUtf8(Front[town % Front.size()]) + QString::fromUtf8(Back[(town / Front.size()) % Back.size()]);
        row[PostCode] = QStringLiteral("T%1 %2%3").arg(town % 97 + 1).arg(draw(9) + 1).arg(QLatin1Char(char('A' + draw(26))));
        row[Country] = QStringLiteral("United Kingdom");
        row[Address1] = QString::number(1 + draw(200)) + QLatin1Char(' ') + pick(Streets);
    }
    // A landline: the town's area code and a number from its one range of 100,000.
    QString landline(size_t town) { return QStringLiteral("01%1 %2").arg(digits(3, 200 + town % 800), digits(6, 400000 + draw(100000))); }
    // A mobile from one of five ranges of 100,000 numbers.
    QString mobile() { return QStringLiteral("07%1 %2").arg(digits(3, 700 + 37 * draw(5)), digits(6, 900000 + draw(100000))); }

    QStringList stranger()
    {
        QStringList row;
        for (int c = 0; c < ColumnCount; ++c)
            row << QString();
        row[Surname] = surname();
        row[Firstname] = firstname();
        if (below(20))
            row[Midname] = pick(Given);
        const size_t town = draw(300);
        place(row, town);
        if (below(70))
            row[Tel] = landline(town);
        if (below(75))
            row[Cell] = mobile();
        if (below(60))
            row[Email] = QStringLiteral("%1.%2%3@%4")
                             .arg(row[Firstname].toLower(), row[Surname].toLower())
                             .arg(draw(100) < 50 ? QString() : QString::number(draw(1000)))
                             .arg(pick(Domains));
        if (below(50))
            row[Birthday] = QStringLiteral("%1-%2-%3").arg(1940 + draw(70)).arg(digits(2, 1 + draw(12)), digits(2, 1 + draw(28)));
        if (below(30)) {
            const size_t company = draw(Companies.size());
            row[Workplace] = QString::fromUtf8(Companies[company]);
            // Half of those at work are reached through their company's switchboard, the rest on a direct line.
            row[WorkTel] = below(50) ? QStringLiteral("020 7946 %1").arg(digits(4, 1000 + company))
                                     : QStringLiteral("020 7%1").arg(digits(7, draw(10000000)));
        }
        if (below(15))
            row[Flag] = QStringLiteral("XMAS");
        return row;
    }

    // Someone of the same household: the surname, the address and the landline, sometimes the e-mail too.
    QStringList relative(const QStringList& head)
    {
        QStringList row = stranger();
        for (const Column c : {Surname, Address1, Address2, Village, Town, County, PostCode, Country, Tel})
            row[c] = head[c];
        if (below(30) && !head[Email].isEmpty())
            row[Email] = head[Email];
        return row;
    }

    // The same person typed in again: an initial or another case for the first name, a number changed or left out.
    QStringList retyped(const QStringList& before)
    {
        QStringList row = before;
        switch (draw(4)) {
        case 0:
            row[Firstname] = row[Firstname].left(1) + QLatin1Char('.');
            break;
        case 1:
            row[Surname] = row[Surname].toUpper();
            break;
        case 2:
            row[Cell] = below(50) ? mobile() : QString();
            break;
        default:
            row[Tel].clear();
            break;
        }
        return row;
    }

    std::mt19937 m_rng;
    std::deque<QStringList> m_recent;
    int m_household = 0;
    QStringList m_householdRow;
};

} // namespace bench
