#include "richtext/RtfCommands.h"

#include <string_view>
#include <unordered_map>

namespace richtext {

namespace {

using Table = std::unordered_map<std::string_view, RtfCommand>;

struct Special
{
    std::string_view word;
    const char16_t* text;
};

constexpr Special kSpecials[] = {
    {"tab", u"\t"},        {"line", u"\u2028"},    {"emdash", u"\u2014"},    {"endash", u"\u2013"},
    {"lquote", u"\u2018"}, {"rquote", u"\u2019"},  {"ldblquote", u"\u201C"}, {"rdblquote", u"\u201D"},
    {"bullet", u"\u2022"}, {"emspace", u"\u2003"}, {"enspace", u"\u2002"},   {"qmspace", u"\u2005"},
    {"zwj", u"\u200D"},    {"zwnj", u"\u200C"},    {"ltrmark", u"\u200E"},   {"rtlmark", u"\u200F"},
};

// Every kind of underline reads as underline; which one it is goes with it.
constexpr std::string_view kUnderlines = "ul uld uldash uldashd uldashdd uldb ulhwave ulldash ulth ulthd ulthdash "
                                         "ulthdashd ulthdashdd ulthldash ululdbwave ulw ulwave";

// Destinations whose content is not part of the body text: pictures, headers and footers, footnotes, document
// properties, field instructions, the plain-text copy of nested tables. Field results and
// list numbers as written (\fldrslt, \pntext, \listtext without a list table) are kept: they are what the reader
// of the document sees.
constexpr std::string_view kSkippedDestinations =
    "info stylesheet header headerl headerr headerf footer footerl footerr footerf footnote pn "
    "revtbl rsidtbl xmlnsdecl themedata colorschememapping latentstyles datastore "
    "object objdata nonshppict shp shpinst shprslt nonesttables filetbl author operator title subject keywords "
    "comment doccomm creatim revtim printim buptim company manager category annotation atnid atnauthor atrfstart "
    "atrfend bkmkstart bkmkend txe xe tc template generator userprops private do fchars lchars ftnsep ftnsepc "
    "ftncn aftnsep aftnsepc aftncn panose falt fname listpicture pgdsctbl mmathPr";

constexpr std::string_view kKeptCharWords = "expnd expndtw kerning charscalex outl shad embo impr up dn cs";
// A paragraph's style (\s), and a frame's place and size.
constexpr std::string_view kKeptParagraphWords =
    "keep keepn widctlpar nowidctlpar hyphpar outlinelevel noline s pvpg phpg pvmrg phmrg pvpara phcol posx posy "
    "posxc posxr posxi posxo posyc posyb posyt posyil posyin posnegx posnegy absw absh dxfrtext dfrmtxtx dfrmtxty "
    "wrapdefault wraparound wraptight wrapthrough nowrap overlay abslock frmtxlrtb frmtxtbrl";
constexpr std::string_view kDocumentWords =
    "widowctrl ftnbj ftntj ftnstart ftnrstpg ftnrestart ftnrstcont ftnnar ftnnalc ftnnauc ftnnrlc ftnnruc ftnnchi "
    "aenddoc aendnotes aftnbj aftntj aftnstart aftnrestart aftnrstcont aftnnar aftnnalc aftnnauc aftnnrlc aftnnruc "
    "aftnnchi fet endnotes enddoc hyphauto hyphhotz hyphconsec hyphcaps formshade deflang deflangfe adeflang adeff "
    "stshfdbch stshfloch stshfhich stshfbi";
constexpr std::string_view kRowWords =
    "trgaph trrh trpaddl trpaddt trpaddr trpaddb trpaddfl trpaddft trpaddfr trpaddfb trspdl trspdt trspdr trspdb "
    "trspdfl trspdft trspdfr trspdfb trftsWidth trwWidth trftsWidthB trwWidthB trftsWidthA trwWidthA trautofit trhdr "
    "trkeep trkeepfollow tblind tblindtype";
// Destinations of the document as a whole, kept in its head.
constexpr std::string_view kHeadDestinations =
    "info stylesheet revtbl rsidtbl xmlnsdecl themedata colorschememapping latentstyles datastore listpicture "
    "pgdsctbl mmathPr filetbl userprops private template fchars lchars ftnsep ftnsepc ftncn aftnsep aftnsepc aftncn "
    "defchp defpap docvar";
// Copies for older readers, which the writer writes afresh or not at all.
// The row words of a table in a cell: its cells are kept as text.
constexpr std::string_view kDroppedDestinations = "nonshppict nonesttables generator nesttableprops";
constexpr std::string_view kSectionWords =
    "cols colsx colno colsr colw linebetcol sbknone sbkcol sbkpage sbkeven sbkodd titlepg pgnstarts pgnrestart "
    "pgncont pgndec pgnucrm pgnlcrm pgnucltr pgnlcltr linemod linex linestarts linerestart lineppage linecont "
    "vertalt vertalc vertalj vertalb facingp margmirror gutter guttersxn headery footery endnhere sftnbj sftntj "
    "sftnstart sftnrstpg sftnrestart sftnrstcont sftnnar sftnnalc sftnnauc sftnnrlc sftnnruc saftnbj saftntj "
    "saftnnar saftnnalc saftnnauc saftnnrlc saftnnruc sectunlocked sectlinegrid sectdefaultcl ltrsect rtlsect pgnhn pgnhnsh pgnhnsp pgnhnsc pgnhnsm pgnhnsn pgnx pgny";

constexpr std::string_view kOtherPictures = "emfblip wmetafile macpict pmmetafile dibitmap wbitmap";

struct Unkept
{
    std::string_view words;
    const char* what;
};

constexpr Unkept kUnkept[] = {
    {"footnote", "footnotes"},
    {"header headerl headerr headerf footer footerl footerr footerf", "headers and footers"},
    {"object", "embedded objects"},
    {"shp do", "shapes"},
    {"annotation atnid atnauthor", "comments"},
};

constexpr Unkept kDroppedWords[] = {
    {"nestcell nestrow", "nested tables"},
    {"brdrbtw brdrbar", "borders between paragraphs"},
};

bool hasWord(std::string_view words, std::string_view w)
{
    while (!words.empty()) {
        const std::size_t space = words.find(' ');
        if (words.substr(0, space) == w)
            return true;
        words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
    }
    return false;
}

void addWords(Table& table, std::string_view words, RtfCommand command)
{
    while (!words.empty()) {
        const std::size_t space = words.find(' ');
        table.emplace(words.substr(0, space), command);
        words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
    }
}

Table makeTable()
{
    using C = RtfCommand;
    Table t = {
        {"fonttbl", C::FontTable},
        {"colortbl", C::ColorTable},
        {"ansi", C::Ansi},
        {"mac", C::Mac},
        {"pc", C::Pc},
        {"pca", C::Pca},
        {"ansicpg", C::AnsiCodePage},
        {"deff", C::DefaultFont},
        {"f", C::Font},
        {"fcharset", C::FontCharset},
        {"cpg", C::FontCodePage},
        {"fnil", C::FontNil},
        {"fbidi", C::FontNil},
        {"ftech", C::FontNil},
        {"froman", C::FontRoman},
        {"fswiss", C::FontSwiss},
        {"fmodern", C::FontModern},
        {"fscript", C::FontScript},
        {"fdecor", C::FontDecor},
        {"fprq", C::FontPitch},
        {"red", C::Red},
        {"green", C::Green},
        {"blue", C::Blue},
        {"plain", C::Plain},
        {"fs", C::FontSize},
        {"b", C::Bold},
        {"i", C::Italic},
        {"ul", C::Underline},
        {"ulnone", C::UnderlineNone},
        {"strike", C::Strike},
        {"striked", C::Strike},
        {"v", C::Hidden},
        {"deleted", C::Hidden},
        {"cf", C::ForeColor},
        {"cb", C::BackColor},
        {"highlight", C::BackColor},
        {"uc", C::UnicodeSkip},
        {"u", C::Unicode},
        {"pard", C::ParagraphDefaults},
        {"par", C::Paragraph},
        {"page", C::PageBreak},
        {"sect", C::SectionBreak},
        {"pagebb", C::PageBreakBefore},
        {"super", C::Super},
        {"sub", C::Sub},
        {"nosupersub", C::NoSuperSub},
        {"caps", C::Caps},
        {"scaps", C::SmallCaps},
        {"rtlch", C::RtlChar},
        {"ltrch", C::LtrChar},
        {"chcbpat", C::BackColor},
        {"tldot", C::TabLeader},
        {"tlhyph", C::TabLeader},
        {"tlul", C::TabLeader},
        {"tlth", C::TabLeader},
        {"tlmdot", C::TabLeader},
        {"tleq", C::TabLeader},
        {"sl", C::LineSpacing},
        {"slmult", C::LineMultiple},
        {"rtlpar", C::RtlParagraph},
        {"ltrpar", C::LtrParagraph},
        {"cbpat", C::ParagraphShade},
        {"brdrt", C::BorderSide},
        {"brdrl", C::BorderSide},
        {"brdrb", C::BorderSide},
        {"brdrr", C::BorderSide},
        {"box", C::BorderSide},
        {"brdrw", C::BorderWidth},
        {"brdrcf", C::BorderColor},
        {"brsp", C::BorderSpace},
        {"clbrdrt", C::CellBorderSide},
        {"clbrdrl", C::CellBorderSide},
        {"clbrdrb", C::CellBorderSide},
        {"clbrdrr", C::CellBorderSide},
        {"clcbpat", C::CellShade},
        {"clpadl", C::CellPadding},
        {"clpadt", C::CellPadding},
        {"clpadr", C::CellPadding},
        {"clpadb", C::CellPadding},
        {"clpadfl", C::CellPaddingUnit},
        {"clpadft", C::CellPaddingUnit},
        {"clpadfr", C::CellPaddingUnit},
        {"clpadfb", C::CellPaddingUnit},
        {"clvertalt", C::CellVAlign},
        {"clvertalc", C::CellVAlign},
        {"clvertalb", C::CellVAlign},
        {"trql", C::RowAlignLeft},
        {"trqc", C::RowAlignCentre},
        {"trqr", C::RowAlignRight},
        {"trleft", C::RowLeft},
        {"paperw", C::PaperWidth},
        {"pgwsxn", C::PaperWidth},
        {"paperh", C::PaperHeight},
        {"pghsxn", C::PaperHeight},
        {"margl", C::MarginLeft},
        {"marglsxn", C::MarginLeft},
        {"margr", C::MarginRight},
        {"margrsxn", C::MarginRight},
        {"margt", C::MarginTop},
        {"margtsxn", C::MarginTop},
        {"margb", C::MarginBottom},
        {"margbsxn", C::MarginBottom},
        {"landscape", C::Landscape},
        {"lndscpsxn", C::Landscape},
        {"sectd", C::SectionDefaults},
        {"listtable", C::ListTable},
        {"listoverridetable", C::ListTable},
        {"list", C::ListDefinition},
        {"listlevel", C::ListLevel},
        {"levelnfc", C::ListLevelKind},
        {"levelstartat", C::ListLevelStart},
        {"levelnfcn", C::ListLevelKind},
        {"listid", C::ListId},
        {"listoverride", C::ListOverride},
        {"ls", C::ListNumber},
        {"ilvl", C::ListLevelNumber},
        {"listtext", C::ListText},
        {"ql", C::AlignLeft},
        {"qc", C::AlignCentre},
        {"qr", C::AlignRight},
        {"qj", C::AlignJustify},
        {"qd", C::AlignJustify},
        {"li", C::LeftIndent},
        {"lin", C::LeftIndent},
        {"ri", C::RightIndent},
        {"rin", C::RightIndent},
        {"fi", C::FirstIndent},
        {"sb", C::SpaceBefore},
        {"sa", C::SpaceAfter},
        {"tqr", C::TabKindRight},
        {"tqc", C::TabKindCentre},
        {"tqdec", C::TabKindDecimal},
        {"tx", C::TabPosition},
        {"deftab", C::DefaultTab},
        {"intbl", C::InTable},
        {"cell", C::Cell},
        {"nestcell", C::NestCell},
        {"row", C::Row},
        {"nestrow", C::NestRow},
        {"trowd", C::RowDefaults},
        {"cellx", C::CellEdge},
        {"clmgf", C::CellMergeFirst},
        {"clmrg", C::CellMerged},
        {"clvmgf", C::CellVMergeFirst},
        {"clvmrg", C::CellVMerged},
        {"pict", C::Picture},
        {"shppict", C::ShapePicture},
        {"picw", C::PictureWidth},
        {"pich", C::PictureHeight},
        {"picwgoal", C::PictureGoalWidth},
        {"pichgoal", C::PictureGoalHeight},
        {"picscalex", C::PictureScaleX},
        {"picscaley", C::PictureScaleY},
        {"pngblip", C::PicturePng},
        {"jpegblip", C::PictureJpeg},
        {"field", C::Field},
        {"fldinst", C::FieldInstruction},
        {"fldrslt", C::FieldResult},
        {"bin", C::Binary},
    };
    for (const Special& special : kSpecials)
        t.emplace(special.word, C::SpecialCharacter);
    addWords(t, kUnderlines, C::Underline);
    addWords(t, "brdrs brdrth brdrsh brdrdb brdrdot brdrdash brdrhair brdrdashsm brdrdashd brdrdashdd brdrtriple "
                "brdrwavy brdrwavydb brdrinset brdroutset brdremboss brdrengrave brdrnone brdrthtnsg brdrtnthsg",
             C::BorderStyle);
    addWords(t, kKeptCharWords, C::KeptCharWord);
    addWords(t, kKeptParagraphWords, C::KeptParagraphWord);
    addWords(t, kDocumentWords, C::DocumentWord);
    addWords(t, kRowWords, C::RowWord);
    addWords(t, "chftn chatn", C::KeptMark);
    addWords(t, "ab ai af afs acf", C::AssocWord);
    addWords(t, "loch hich dbch", C::AssocMode);
    addWords(t, kSectionWords, C::SectionWord);
    addWords(t, kSkippedDestinations, C::SkipDestination);
    addWords(t, kOtherPictures, C::PictureOther);
    return t;
}

std::string_view view(QByteArrayView word)
{
    return {word.data(), static_cast<std::size_t>(word.size())};
}

} // namespace

RtfCommand rtfCommand(QByteArrayView word)
{
    static const Table table = makeTable();
    const auto it = table.find(view(word));
    return it == table.end() ? RtfCommand::Unknown : it->second;
}

const char* unkeptContentOf(QByteArrayView word)
{
    const std::string_view w = view(word);
    for (const Unkept& u : kUnkept) {
        std::string_view words = u.words;
        while (!words.empty()) {
            const std::size_t space = words.find(' ');
            if (words.substr(0, space) == w)
                return u.what;
            words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
        }
    }
    return nullptr;
}

KeptPlace keptPlaceOf(QByteArrayView word)
{
    const std::string_view w = view(word);
    if (hasWord(kDroppedDestinations, w))
        return KeptPlace::Nowhere;
    if (hasWord(kHeadDestinations, w))
        return KeptPlace::Head;
    if (hasWord("header headerl headerr headerf footer footerl footerr footerf", w))
        return KeptPlace::Section;
    return KeptPlace::Text;
}

const char* droppedWordContent(QByteArrayView word)
{
    for (const Unkept& u : kDroppedWords) {
        if (hasWord(u.words, view(word)))
            return u.what;
    }
    return nullptr;
}

int rtfUnderlineKind(QByteArrayView word)
{
    std::string_view words = kUnderlines;
    for (int kind = 0; !words.empty(); ++kind) {
        const std::size_t space = words.find(' ');
        if (words.substr(0, space) == view(word))
            return kind;
        words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
    }
    return 0;
}

QByteArrayView rtfUnderlineWord(int kind)
{
    std::string_view words = kUnderlines;
    for (int i = 0; !words.empty(); ++i) {
        const std::size_t space = words.find(' ');
        if (i == kind)
            return QByteArrayView(words.data(), qsizetype(words.substr(0, space).size()));
        words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
    }
    return "ul";
}

QStringView rtfSpecialCharacter(QByteArrayView word)
{
    for (const Special& special : kSpecials) {
        if (special.word == view(word))
            return QStringView(special.text);
    }
    return {};
}

} // namespace richtext
