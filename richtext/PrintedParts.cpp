#include "richtext/PrintedParts.h"

#include "platform/AppError.h"
#include "richtext/RichText.h"
#include "richtext/RtfReader.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace richtext {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The group "{\word ...}" in rtf (the word whole, not the start of a longer one), without its braces and word.
QByteArray groupContent(const QByteArray& rtf, const QByteArray& word)
{
    const QByteArray open = "{\\" + word;
    for (qsizetype at = rtf.indexOf(open); at >= 0; at = rtf.indexOf(open, at + 1)) {
        const qsizetype start = at + open.size();
        if (start < rtf.size() && isLetter(rtf[start]))
            continue;
        int depth = 0;
        for (qsizetype i = at; i < rtf.size(); ++i) {
            const char c = rtf[i];
            if (c == '\\') {
                ++i; // an escaped brace or backslash is text
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                return rtf.mid(start, i - start);
            }
        }
        return rtf.mid(start); // unclosed: as far as it goes
    }
    return {};
}

double lengthMm(const QByteArray& words, const char* word, int otherwise)
{
    const QRegularExpression pattern(QStringLiteral("\\\\%1(\\d+)").arg(QLatin1String(word)));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(words));
    const int twips = match.hasMatch() ? match.captured(1).toInt() : otherwise;
    return twips * 25.4 / 1440.0;
}

std::unique_ptr<QTextDocument> partDocument(const QTextDocument& doc, const QByteArray& sectionHead,
                                            std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        const QByteArray content = groupContent(sectionHead, word);
        if (content.trimmed().isEmpty())
            continue;
        const QByteArray rtf = "{\\rtf1\\ansi" + doc.property(kRtfFontTableProperty).toByteArray() +
                               doc.property(kRtfColorTableProperty).toByteArray() + '\n' + content + '}';
        auto part = std::make_unique<QTextDocument>();
        try {
            readRtf(rtf, *part, doc.defaultFont());
        } catch (const platform::AppError&) {
            continue;
        }
        if (!part->isEmpty())
            return part;
    }
    return nullptr;
}

// The instruction of a field's group: its words without RTF's, "DATE \@ "d MMMM yyyy"".
QString instructionOf(const QByteArray& field)
{
    const qsizetype at = field.indexOf("\\fldinst");
    if (at < 0)
        return {};
    QByteArray text;
    int depth = 0;
    for (qsizetype i = at + 8; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth < 0)
                break;
        } else if (c == '\\' && i + 1 < field.size() && isLetter(field[i + 1])) {
            // A control word and its parameter and space stand for nothing here.
            ++i;
            while (i + 1 < field.size() && (isLetter(field[i + 1]) || field[i + 1] == '-' ||
                                            (field[i + 1] >= '0' && field[i + 1] <= '9')))
                ++i;
            if (i + 1 < field.size() && field[i + 1] == ' ')
                ++i;
        } else if (c == '\\' && i + 1 < field.size()) {
            text += field[++i] == '*' ? QByteArray() : QByteArray(1, field[i]);
        } else {
            text += c;
        }
    }
    return QString::fromLatin1(text).trimmed();
}

QString printedValue(const QString& instruction, int page, int pages, const QDateTime& now)
{
    const QString name = instruction.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toUpper();
    if (name == QLatin1String("PAGE"))
        return QString::number(page);
    if (name == QLatin1String("NUMPAGES") || name == QLatin1String("SECTIONPAGES"))
        return QString::number(pages);
    if (name != QLatin1String("DATE") && name != QLatin1String("TIME") && name != QLatin1String("PRINTDATE"))
        return {};
    // A picture of its own, as "\@ "dd MMMM yyyy"": the letters mean what they mean to Qt, but for am/pm.
    static const QRegularExpression picture(QStringLiteral("\\\\@\\s*\"([^\"]*)\""));
    const QRegularExpressionMatch match = picture.match(instruction);
    if (match.hasMatch()) {
        QString format = match.captured(1);
        format.replace(QLatin1String("am/pm"), QLatin1String("ap"), Qt::CaseInsensitive);
        return QLocale().toString(now, format);
    }
    return name == QLatin1String("TIME") ? QLocale().toString(now.time(), QLocale::ShortFormat)
                                         : QLocale().toString(now.date(), QLocale::ShortFormat);
}

} // namespace

PrintedParts printedParts(const QTextDocument& doc)
{
    PrintedParts parts;
    const QByteArray head = doc.property(kRtfSectionHeadProperty).toByteArray();
    if (head.isEmpty())
        return parts;
    parts.header = partDocument(doc, head, {"header", "headerr", "headerl", "headerf"});
    parts.footer = partDocument(doc, head, {"footer", "footerr", "footerl", "footerf"});
    const QByteArray words = pageSetup(doc).sectionWords;
    parts.headerTopMm = lengthMm(words, "headery", 720);
    parts.footerBottomMm = lengthMm(words, "footery", 720);
    return parts;
}

bool hasKeptFields(const QTextDocument& doc)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(KeptFieldProperty))
                return true;
        }
    }
    return false;
}

void showPrintedFields(QTextDocument& doc, int page, int pages, const QDateTime& now)
{
    struct Result
    {
        int start = 0;
        int end = 0;
        QTextCharFormat format;
    };
    std::vector<Result> results;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        int field = -1;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.hasProperty(KeptFieldProperty) || format.isImageFormat()) {
                field = -1;
                continue;
            }
            if (format.intProperty(KeptFieldProperty) == field) {
                results.back().end = fragment.position() + fragment.length();
                continue;
            }
            field = format.intProperty(KeptFieldProperty);
            results.push_back({fragment.position(), fragment.position() + fragment.length(), format});
        }
    }
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    // From the last back, so that the places before stay where they are.
    for (auto it = results.rbegin(); it != results.rend(); ++it) {
        const QString value =
            printedValue(instructionOf(it->format.property(KeptRtfProperty).toByteArray()), page, pages, now);
        if (value.isEmpty())
            continue;
        cursor.setPosition(it->start);
        cursor.setPosition(it->end, QTextCursor::KeepAnchor);
        cursor.insertText(value, it->format);
    }
    cursor.endEditBlock();
}

} // namespace richtext
