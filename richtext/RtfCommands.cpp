#include "richtext/RtfCommands.h"

#include <string_view>
#include <unordered_map>

namespace richtext {

namespace {

using Table = std::unordered_map<std::string_view, RtfCommand>;

Table makeTable()
{
    using C = RtfCommand;
    Table t = {
        {"fonttbl", C::FontTable}, {"colortbl", C::ColorTable},
        {"ansi", C::Ansi}, {"mac", C::Mac}, {"pc", C::Pc}, {"pca", C::Pca}, {"ansicpg", C::AnsiCodePage},
        {"deff", C::DefaultFont},
        {"f", C::Font}, {"fcharset", C::FontCharset}, {"cpg", C::FontCodePage}, {"fnil", C::FontNil},
        {"froman", C::FontRoman}, {"fswiss", C::FontSwiss}, {"fmodern", C::FontModern}, {"fscript", C::FontScript},
        {"fdecor", C::FontDecor}, {"ftech", C::FontTech}, {"fbidi", C::FontNil}, {"fprq", C::FontPitch},
        {"red", C::Red}, {"green", C::Green}, {"blue", C::Blue},
        {"plain", C::Plain}, {"fs", C::FontSize}, {"b", C::Bold}, {"i", C::Italic}, {"ul", C::Underline},
        {"ulnone", C::UnderlineNone}, {"strike", C::Strike}, {"striked", C::Strike},
        {"v", C::Hidden}, {"deleted", C::Hidden}, {"cf", C::ForeColor},
        {"cb", C::BackColor}, {"highlight", C::BackColor}, {"uc", C::UnicodeSkip}, {"u", C::Unicode},
        {"pard", C::ParagraphDefaults}, {"par", C::Paragraph}, {"page", C::SoftBreak}, {"sect", C::SoftBreak},
        {"line", C::Line}, {"tab", C::Tab}, {"ql", C::AlignLeft}, {"qc", C::AlignCentre}, {"qr", C::AlignRight},
        {"qj", C::AlignJustify}, {"qd", C::AlignJustify}, {"li", C::LeftIndent}, {"lin", C::LeftIndent},
        {"ri", C::RightIndent}, {"rin", C::RightIndent}, {"fi", C::FirstIndent}, {"sb", C::SpaceBefore},
        {"sa", C::SpaceAfter},
        {"intbl", C::InTable}, {"cell", C::Cell}, {"nestcell", C::Cell}, {"row", C::Row}, {"nestrow", C::Row},
        {"emdash", C::EmDash}, {"endash", C::EnDash}, {"lquote", C::LeftQuote}, {"rquote", C::RightQuote},
        {"ldblquote", C::LeftDoubleQuote}, {"rdblquote", C::RightDoubleQuote}, {"bullet", C::Bullet},
        {"emspace", C::EmSpace}, {"enspace", C::EnSpace}, {"qmspace", C::QuarterEmSpace}, {"zwj", C::ZeroWidthJoiner},
        {"zwnj", C::ZeroWidthNonJoiner}, {"ltrmark", C::LeftToRightMark}, {"rtlmark", C::RightToLeftMark},
        {"bin", C::Binary},
    };
    // Every kind of underline reads as underline.
    for (const char* word : {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd",
                             "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
        t.emplace(word, C::Underline);
    // Destinations whose content is not part of the body text (pictures, headers, document properties, field
    // instructions, list definitions, the plain-text copy of nested tables). Field results and list numbers
    // as written (\fldrslt, \listtext, \pntext) are kept: they are what the reader of the document sees.
    for (const char* word :
         {"info", "stylesheet", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
          "footerf", "footnote", "fldinst", "pn", "listtable", "listoverridetable", "revtbl", "rsidtbl", "xmlnsdecl",
          "themedata", "colorschememapping", "latentstyles", "datastore", "object", "objdata", "nonshppict", "shp",
          "shpinst", "shprslt", "nonesttables", "filetbl", "author", "operator", "title", "subject", "keywords",
          "comment", "doccomm", "creatim", "revtim", "printim", "buptim", "company", "manager", "category",
          "annotation", "atnid", "atnauthor", "atrfstart", "atrfend", "bkmkstart", "bkmkend", "txe", "xe", "tc",
          "template", "generator", "userprops", "private", "do", "fchars", "lchars", "ftnsep", "ftnsepc", "ftncn",
          "aftnsep", "aftnsepc", "aftncn", "panose", "falt", "fname", "listpicture", "pgdsctbl", "mmathPr"})
        t.emplace(word, C::SkipDestination);
    return t;
}

} // namespace

RtfCommand rtfCommand(QByteArrayView word)
{
    static const Table table = makeTable();
    const auto it = table.find(std::string_view(word.data(), static_cast<size_t>(word.size())));
    return it == table.end() ? RtfCommand::Unknown : it->second;
}

} // namespace richtext
