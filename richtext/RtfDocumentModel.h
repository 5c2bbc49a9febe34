#pragma once

// The RTF reader's picture of formatting: character and paragraph properties as RTF states them, and the
// font and colour tables they refer to.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QString>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace richtext {

constexpr int kDefaultHalfPoints = 24; // RTF's own default size, 12 points

enum class Align : quint8 { Left, Centre, Right, Justify };

struct CharProps
{
    int font = -1; // -1: the document's default font (\deff)
    int halfPoints = kDefaultHalfPoints;
    int foreColor = 0; // colour table index; 0 is "auto"
    int backColor = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    quint8 underlineKind = 0; // the underline word's place in rtfUnderlineWords(); 0 is plain \ul
    quint8 vertical = 0;      // 1 superscript, 2 subscript
    bool caps = false;
    bool smallCaps = false;
    bool rtl = false;         // \rtlch
    quint8 assocMode = 0;     // the mode word the associated words are for: none, ltrch, rtlch, loch, hich, dbch
    QByteArray keptWords;     // words the editor cannot show but writes back as they were read
    int link = -1;       // the target of the HYPERLINK field the text belongs to (an index of the reader's)
    int mergeField = -1; // the MERGEFIELD whose result the text is
    QString mergeResult; // on a merge field's «Name»: the result the file showed
    bool operator==(const CharProps&) const = default;
};

// A border as RTF states one: its style word, width and spacing in twips, colour table index.
struct Border
{
    QByteArray style; // "brdrs", "brdrdb"...; empty: no border
    int width = 0;
    int space = 0;
    int color = 0;
    bool operator==(const Border&) const = default;
};

// Top, left, bottom, right.
using Borders = std::array<Border, 4>;

struct ParaProps // lengths in twips
{
    Align align = Align::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    struct Tab
    {
        int position = 0; // twips from the left indent's origin
        char kind = 'l';  // l, r, c or d (decimal)
        char leader = 0;  // d(ot), h(yphen), u(nderline), t(hick line), m(iddle dot), e(qual sign) or none
        bool operator==(const Tab&) const = default;
    };
    std::vector<Tab> tabs;
    char pendingTabKind = 'l';
    char pendingLeader = 0;
    int lineSpacing = 0; // \sl: twips; negative "exactly", positive "at least" or, with lineMultiple, 240ths of a line
    bool lineMultiple = false;
    bool pageBreakBefore = false;
    bool rtl = false;
    int shade = 0; // \cbpat: the paragraph's background, a colour table index
    Borders borders;
    QByteArray keptWords;
    int list = 0;  // \ls: 0 for none
    int level = 0; // \ilvl
    bool inTable = false; // \intbl: the paragraph belongs to a table cell
    bool operator==(const ParaProps&) const = default;
};

// A table row's definition (\trowd ... \cellx): each cell's right edge in twips from the margin, and how
// it merges with its neighbours.
struct RowDef
{
    struct Cell
    {
        int right = 0;
        bool mergeFirst = false; // \clmgf: starts cells merged across
        bool merged = false;     // \clmrg: merged into the cell on its left
        bool vMergeFirst = false;
        bool vMerged = false;    // merged into the cell above
        int shade = 0;           // \clcbpat
        // \clpadl, \clpadt, \clpadr, \clpadb in twips, and whether each is in twips (\clpadf..3): the
        // padding only counts where it is.
        std::array<int, 4> padding{0, 0, 0, 0};
        std::array<bool, 4> paddingSet{false, false, false, false};
        char vAlign = 't';       // t, c or b
        Borders borders;
    };
    Align align = Align::Left; // \trqc, \trqr: the row's place between the margins
    int left = 0;              // \trleft
    QByteArray keptWords;      // the row's words written back as read (\trgaph, \trleft...)
    std::vector<Cell> cells;
    Cell pending; // the merge words read since the last \cellx
};

// The lists the list table defines: by \ls number, each level's kind (\levelnfc).
struct RtfLists
{
    std::unordered_map<int, std::vector<int>> byListId;
    std::unordered_map<int, std::vector<int>> startsByListId; // \levelstartat by level
    std::unordered_map<int, int> listIdOf; // \ls -> \listid
    std::unordered_map<int, QByteArray> definitions; // by \listid: its \list group as read
    bool defined = false; // the file has a list table: without one, the numbers written are all there is
    [[nodiscard]] int listId(int ls) const
    {
        const auto id = listIdOf.find(ls);
        return id == listIdOf.end() ? 0 : id->second;
    }
    [[nodiscard]] int kind(int ls, int level) const
    {
        const auto id = listIdOf.find(ls);
        if (id == listIdOf.end())
            return 23;
        const auto levels = byListId.find(id->second);
        if (levels == byListId.end() || levels->second.empty())
            return 23;
        return levels->second[std::size_t(std::clamp<int>(level, 0, int(levels->second.size()) - 1))];
    }
    [[nodiscard]] int start(int ls, int level) const
    {
        const auto id = listIdOf.find(ls);
        if (id == listIdOf.end())
            return 1;
        const auto levels = startsByListId.find(id->second);
        if (levels == startsByListId.end() || level < 0 || level >= int(levels->second.size()))
            return 1;
        return levels->second[std::size_t(level)];
    }
};

// What fields the text refers to: the targets of links and the names of merge fields.
struct RtfFields
{
    std::vector<QString> links;
    std::vector<QString> mergeFields;
};

struct FontEntry
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0; // 0: the document's code page
    bool fixedPitch = false;
};

struct RtfTables
{
    std::unordered_map<int, FontEntry> fonts;
    std::vector<QColor> colors; // an invalid colour is "auto"
    int defaultFont = 0;
    int generation = 0; // changes whenever anything above does

    // The font of a \f number: the default font when the number is -1 or undefined; null when neither exists.
    [[nodiscard]] const FontEntry* font(int number) const
    {
        auto it = fonts.find(number < 0 ? defaultFont : number);
        if (it == fonts.end() && number >= 0)
            it = fonts.find(defaultFont);
        return it == fonts.end() ? nullptr : &it->second;
    }

    [[nodiscard]] QColor color(int index) const
    {
        if (index <= 0 || static_cast<std::size_t>(index) >= colors.size())
            return {};
        return colors[static_cast<std::size_t>(index)];
    }
};

} // namespace richtext
