#pragma once

#include "richtext/RtfCommands.h"
#include "richtext/RtfDocumentModel.h"
#include "richtext/RtfTokenizer.h"

namespace richtext {

// Collects the font table and the colour table from the parts the RTF reader meets inside them.
class RtfTableReader
{
public:
    [[nodiscard]] const RtfTables& tables() const { return m_tables; }
    void setDefaultFont(int number);

    void startFontTable();
    // \f, \fcharset, \cpg and the family and pitch words of an entry; other words mean nothing here.
    void fontWord(RtfCommand cmd, const RtfToken& t);
    void appendFontName(QStringView text);
    // The code page of the entry being read (its name's bytes are in it); 0 when it names none.
    [[nodiscard]] int fontCodePage() const { return m_fontDraft.codePage; }
    // ';' ends an entry; so does the end of its group when the entry has a name.
    void endFont();
    void endFontGroup();

    void startColorTable();
    void colorWord(RtfCommand cmd, const RtfToken& t);
    // ';' ends an entry (one without components is "auto"); the end of the table ends an unfinished one.
    void endColor();
    void endColorGroup();

private:
    RtfTables m_tables;
    int m_fontNumber = 0;
    FontEntry m_fontDraft;
    QString m_fontName;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;
};

} // namespace richtext
