#pragma once

#include <QByteArrayView>

namespace richtext {

// The control words the reader acts on; every other word is ignored.
enum class RtfCommand {
    Unknown,
    // destinations
    FontTable, ColorTable, SkipDestination,
    // document
    Ansi, Mac, Pc, Pca, AnsiCodePage, DefaultFont,
    // font table
    Font, FontCharset, FontCodePage, FontNil, FontRoman, FontSwiss, FontModern, FontScript, FontDecor, FontTech,
    FontPitch,
    // colour table
    Red, Green, Blue,
    // characters
    Plain, FontSize, Bold, Italic, Underline, UnderlineNone, Strike, Hidden, ForeColor, BackColor, UnicodeSkip, Unicode,
    // paragraphs
    ParagraphDefaults, Paragraph, SoftBreak, Line, Tab, AlignLeft, AlignCentre, AlignRight, AlignJustify,
    LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter,
    // tables
    InTable, Cell, Row,
    // special characters
    EmDash, EnDash, LeftQuote, RightQuote, LeftDoubleQuote, RightDoubleQuote, Bullet, EmSpace, EnSpace,
    QuarterEmSpace, ZeroWidthJoiner, ZeroWidthNonJoiner, LeftToRightMark, RightToLeftMark,
    Binary,
};

[[nodiscard]] RtfCommand rtfCommand(QByteArrayView word);

} // namespace richtext
