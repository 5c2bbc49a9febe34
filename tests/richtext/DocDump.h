#pragma once

// What the rich-text tests compare: a document's text and formats in a form QCOMPARE can show.

#include "richtext/RichText.h"

#include <QColor>
#include <QFile>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

namespace rtftest {

// The paragraphs' text joined with '\n', every character as it is (toPlainText would turn U+00A0 into a space).
inline QString paragraphs(const QTextDocument& doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines.join(QLatin1Char('\n'));
}

inline QString family(const QTextCharFormat& f)
{
    return f.fontFamilies().toStringList().value(0);
}

inline QString describeChar(const QTextCharFormat& f)
{
    const QString fg =
        f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name() : QStringLiteral("auto");
    const QString bg =
        f.hasProperty(QTextFormat::BackgroundBrush) ? f.background().color().name() : QStringLiteral("none");
    return QStringLiteral("%1 %2pt%3%4%5%6 %7/%8")
        .arg(family(f))
        .arg(f.fontPointSize())
        .arg(f.fontWeight() >= QFont::DemiBold ? QStringLiteral(" bold") : QString())
        .arg(f.fontItalic() ? QStringLiteral(" italic") : QString())
        .arg(f.fontUnderline() ? QStringLiteral(" underline") : QString())
        .arg(f.fontStrikeOut() ? QStringLiteral(" strike") : QString())
        .arg(fg, bg);
}

inline QString describeBlock(const QTextBlockFormat& f)
{
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    const char* align = (a & Qt::AlignHCenter)   ? "centre"
                        : (a & Qt::AlignJustify) ? "justify"
                        : (a & Qt::AlignRight)   ? "right"
                                                 : "left";
    QString tabs;
    for (const QTextOption::Tab& tab : f.tabPositions())
        tabs += QStringLiteral(" tab=%1%2")
                    .arg(qRound(tab.position * 15))
                    .arg(QLatin1String(tab.type == QTextOption::RightTab    ? "r"
                                       : tab.type == QTextOption::CenterTab ? "c"
                                       : tab.type == QTextOption::DelimiterTab ? "d"
                                                                             : "l"));
    return QStringLiteral("[%1 li=%2 ri=%3 fi=%4 sb=%5 sa=%6%7]")
        .arg(QLatin1String(align))
        .arg(qRound(f.leftMargin() * 15))
        .arg(qRound(f.rightMargin() * 15))
        .arg(qRound(f.textIndent() * 15))
        .arg(qRound(f.topMargin() * 15))
        .arg(qRound(f.bottomMargin() * 15))
        .arg(tabs);
}

// One line per paragraph (its format), one per run of equally formatted text.
inline QStringList describe(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString list;
        if (const QTextList* l = b.textList())
            list = QStringLiteral(" list %1/%2 hang=%3")
                       .arg(l->format().style())
                       .arg(l->format().intProperty(richtext::ListLevelProperty))
                       .arg(qRound(b.blockFormat().doubleProperty(richtext::ListHangingIndentProperty) * 15));
        out << describeBlock(b.blockFormat()) + list;
        QString text;
        QString format;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QString f = describeChar(frag.charFormat());
            if (f != format && !text.isEmpty()) {
                out << QStringLiteral("  \"%1\" %2").arg(text, format);
                text.clear();
            }
            format = f;
            text += frag.text();
        }
        if (!text.isEmpty())
            out << QStringLiteral("  \"%1\" %2").arg(text, format);
    }
    return out;
}

// The character format of the first character of the first occurrence of needle.
inline QTextCharFormat formatOf(const QTextDocument& doc, const QString& needle)
{
    const QTextCursor found = doc.find(needle);
    if (found.isNull())
        return {};
    const int pos = found.selectionStart();
    const QTextBlock block = doc.findBlock(pos);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().contains(pos))
            return it.fragment().charFormat();
    }
    return {};
}

inline QTextBlockFormat blockOf(const QTextDocument& doc, const QString& needle)
{
    const QTextCursor found = doc.find(needle);
    return found.isNull() ? QTextBlockFormat() : found.block().blockFormat();
}

inline QByteArray readFixture(const QString& name)
{
    QFile f(QStringLiteral(TOVREL_TEST_DATA "/rtf/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace rtftest
