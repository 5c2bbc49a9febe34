#include "richtext/RichText.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace richtext {

namespace {

constexpr double kTwipsPerPixel = 15.0; // document lengths are pixels at 96 dpi
constexpr int kMaxHalfPoints = 3276;
constexpr double kMaxTwips = 31680; // 22 inches

// A close ASCII letter for readers that cannot show \uN: the base letter of an accented one, or '?'.
char fallbackFor(QChar c)
{
    switch (c.unicode()) {
    case 0x0141:
        return 'L'; // Ł
    case 0x0142:
        return 'l';
    case 0x00D8:
        return 'O'; // Ø
    case 0x00F8:
        return 'o';
    case 0x0110:
        return 'D'; // Đ
    case 0x0111:
        return 'd';
    case 0x0131:
        return 'i'; // dotless i
    case 0x00DF:
        return 's'; // ß
    case 0x2018:
    case 0x2019:
        return '\'';
    case 0x201C:
    case 0x201D:
        return '"';
    case 0x2013:
    case 0x2014:
        return '-';
    default:
        break;
    }
    const QString decomposed = c.decomposition();
    if (!decomposed.isEmpty()) {
        const char16_t base = decomposed.at(0).unicode();
        if ((base >= 'a' && base <= 'z') || (base >= 'A' && base <= 'Z'))
            return char(base);
    }
    return '?';
}

void appendUnicode(QByteArray& out, char16_t u)
{
    const int value = u > 0x7FFF ? int(u) - 0x10000 : int(u);
    out += "\\u";
    out += QByteArray::number(value);
    out += fallbackFor(QChar(u));
}

void appendText(QByteArray& out, QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '\\':
        case '{':
        case '}':
            out += '\\';
            out += char(u);
            break;
        case '\t':
            out += "\\tab ";
            break;
        case 0x2028:
            out += "\\line ";
            break;
        case 0x00A0:
            out += "\\~";
            break;
        case 0x00AD:
            out += "\\-";
            break;
        case 0x2011:
            out += "\\_";
            break;
        case 0xFFFC:
            break; // an embedded object: RTF of ours carries text only
        default:
            if (u < 0x20)
                break;
            if (u < 0x80)
                out += char(u);
            else
                appendUnicode(out, u);
        }
    }
}

void appendFontName(QByteArray& out, const QString& name)
{
    QString cleaned = name;
    cleaned.remove(QLatin1Char(';'));
    for (const QChar c : cleaned) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u >= 0x80) {
            appendUnicode(out, u);
        }
    }
}

const char* familyKeyword(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif:
        return "\\froman";
    case QFont::SansSerif:
        return "\\fswiss";
    case QFont::TypeWriter:
    case QFont::Monospace:
        return "\\fmodern";
    case QFont::Cursive:
        return "\\fscript";
    case QFont::Decorative:
    case QFont::Fantasy:
        return "\\fdecor";
    default:
        return "\\fnil";
    }
}

struct FontKey
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    bool fixedPitch = false;
    bool operator==(const FontKey&) const = default;
};

size_t qHash(const FontKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.family, int(key.hint), key.fixedPitch);
}

class Writer
{
public:
    explicit Writer(const QTextDocument& doc) : m_doc(doc), m_defaultFont(doc.defaultFont()) {}

    QByteArray write();

private:
    void writeBlock(const QTextBlock& block);
    void writeCharProps(const QTextCharFormat& format);
    int fontIndex(const QFont& font);
    int colorIndex(const QColor& color);

    const QTextDocument& m_doc;
    QFont m_defaultFont;
    QList<FontKey> m_fonts;
    QHash<FontKey, int> m_fontIndex;
    QList<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndex;
    QByteArray m_body;
};

QByteArray Writer::write()
{
    fontIndex(m_defaultFont); // \deff0
    for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next())
        writeBlock(block);

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        const FontKey& font = m_fonts[i];
        out += "{\\f" + QByteArray::number(i) + familyKeyword(font.hint) + "\\fcharset0";
        if (font.fixedPitch)
            out += "\\fprq1";
        out += ' ';
        appendFontName(out, font.family);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (const QRgb rgb : std::as_const(m_colors)) {
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue" +
               QByteArray::number(qBlue(rgb)) + ';';
    }
    out += "}\n{\\*\\generator Tovrel;}\n";
    // Without it a reader would use RTF's half inch rather than the distance this document shows.
    const double tabPixels = m_doc.defaultTextOption().tabStopDistance();
    if (tabPixels > 0)
        out += "\\deftab" + QByteArray::number(std::lround(tabPixels * kTwipsPerPixel)) + '\n';
    out += m_body;
    out += "}\n";
    return out;
}

void Writer::writeBlock(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    m_body += "\\pard";
    const Qt::Alignment align = format.alignment();
    if (align & Qt::AlignHCenter)
        m_body += "\\qc";
    else if (align & Qt::AlignJustify)
        m_body += "\\qj";
    else if (align & Qt::AlignRight)
        m_body += "\\qr";
    const auto twips = [](double pixels) {
        const double value = std::isfinite(pixels) ? std::clamp(pixels * kTwipsPerPixel, -kMaxTwips, kMaxTwips) : 0.0;
        return QByteArray::number(std::lround(value));
    };
    if (format.leftMargin() != 0)
        m_body += "\\li" + twips(format.leftMargin());
    if (format.rightMargin() != 0)
        m_body += "\\ri" + twips(format.rightMargin());
    if (format.textIndent() != 0)
        m_body += "\\fi" + twips(format.textIndent());
    if (format.topMargin() != 0)
        m_body += "\\sb" + twips(format.topMargin());
    if (format.bottomMargin() != 0)
        m_body += "\\sa" + twips(format.bottomMargin());
    for (const QTextOption::Tab& tab : format.tabPositions()) {
        if (tab.type == QTextOption::RightTab)
            m_body += "\\tqr";
        else if (tab.type == QTextOption::CenterTab)
            m_body += "\\tqc";
        else if (tab.type == QTextOption::DelimiterTab)
            m_body += "\\tqdec";
        // Qt measures from where the first line starts, RTF from the margin.
        m_body += "\\tx" + twips(tab.position + format.leftMargin() + format.textIndent());
    }
    m_body += ' ';

    bool empty = true;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || fragment.length() == 0)
            continue;
        empty = false;
        m_body += '{';
        writeCharProps(fragment.charFormat());
        m_body += ' ';
        appendText(m_body, fragment.text());
        m_body += '}';
    }
    if (empty) {
        // The paragraph mark's font gives an empty line its height.
        m_body += '{';
        writeCharProps(block.charFormat());
        m_body += "\\par}\n";
    } else {
        m_body += "\\par\n";
    }
}

void Writer::writeCharProps(const QTextCharFormat& format)
{
    const QFont font = format.font().resolve(m_defaultFont);
    double points = font.pointSizeF();
    if (points <= 0)
        points = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 12.0;
    if (!std::isfinite(points))
        points = 12.0;
    const int halfPoints = int(std::lround(std::clamp(points * 2, 2.0, double(kMaxHalfPoints))));

    m_body += "\\f" + QByteArray::number(fontIndex(font)) + "\\fs" + QByteArray::number(halfPoints);
    if (font.bold())
        m_body += "\\b";
    if (font.italic())
        m_body += "\\i";
    if (font.underline())
        m_body += "\\ul";
    if (font.strikeOut())
        m_body += "\\strike";
    const QBrush foreground = format.foreground();
    if (format.hasProperty(QTextFormat::ForegroundBrush) && foreground.style() != Qt::NoBrush)
        m_body += "\\cf" + QByteArray::number(colorIndex(foreground.color()));
    const QBrush background = format.background();
    if (format.hasProperty(QTextFormat::BackgroundBrush) && background.style() != Qt::NoBrush)
        m_body += "\\highlight" + QByteArray::number(colorIndex(background.color()));
}

int Writer::fontIndex(const QFont& font)
{
    const FontKey key{font.family(), font.styleHint(), font.fixedPitch()};
    auto it = m_fontIndex.constFind(key);
    if (it != m_fontIndex.constEnd())
        return *it;
    m_fonts.append(key);
    m_fontIndex.insert(key, int(m_fonts.size() - 1));
    return int(m_fonts.size() - 1);
}

int Writer::colorIndex(const QColor& color)
{
    const QRgb rgb = color.rgb() & 0xFFFFFF;
    auto it = m_colorIndex.constFind(rgb);
    if (it != m_colorIndex.constEnd())
        return *it;
    m_colors.append(rgb);
    m_colorIndex.insert(rgb, int(m_colors.size()));
    return int(m_colors.size());
}

} // namespace

QByteArray writeRtf(const QTextDocument& doc)
{
    return Writer(doc).write();
}

} // namespace richtext
