#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTextDocument;

namespace richtext {
class MergeTemplate;
}

namespace reports {

class Rendering;

// The text a page keeps of a document: its HTML, followed by the tab stops that HTML cannot hold.
[[nodiscard]] QString richTextContent(const QTextDocument& document);

// A rich-text document laid out on the reference device (1200 dpi) at a width in mm, without a document
// margin. Its coordinates are reference units (1/1200 inch); the painter scales them to the device.
// The pictures it shows are taken from `images`, by name.
[[nodiscard]] std::unique_ptr<QTextDocument> layoutRichText(const QString& html, double widthMm,
                                                            const std::map<QString, QImage>& images = {});

// The pictures a document shows, by name, as its resources hold them.
[[nodiscard]] std::map<QString, QImage> richTextImages(const QTextDocument& document);

// A letter body with merge fields, laid out once for all its fillings: each filling changes only the fields'
// text in place, so that only the paragraphs holding them are laid out again. The document shown is the one
// that layoutRichText() makes of the filled content.
class MergedLayout
{
public:
    MergedLayout(const richtext::MergeTemplate& merge, double widthMm, const std::map<QString, QImage>& images);
    ~MergedLayout();
    MergedLayout(const MergedLayout&) = delete;
    MergedLayout& operator=(const MergedLayout&) = delete;

    [[nodiscard]] double widthMm() const { return m_widthMm; }
    // Whether the fields' texts can be shown in place; where not, their filled content is laid out instead.
    [[nodiscard]] bool canShow(const QStringList& texts) const;
    // The document with each field showing its text (by field number, as MergeTemplate::texts() gives them).
    // Only for texts that canShow().
    [[nodiscard]] QTextDocument& show(const QStringList& texts);

private:
    struct Field
    {
        int number = 0;   // the field's number in the template
        int block = 0;    // the number of its paragraph, which no filling changes
        int position = 0; // in the document as laid out with the marks
        int length = 0;   // of the mark
        QTextCharFormat format;
        QString shown; // what the document holds there now
    };
    double m_widthMm = 0;
    std::unique_ptr<QTextDocument> m_document;
    std::vector<Field> m_fields; // in the order of the document
    bool m_valid = false;
};

// The height in mm at which to cut the document so that no line shows only in part: heightMm where every
// line fits, else the top of the first line that reaches below heightMm.
[[nodiscard]] double fittingHeight(QTextDocument& document, double heightMm);
// The same for the part of the document that starts offsetMm below its top. A line taller than heightMm
// is cut at heightMm, so that every part moves on.
[[nodiscard]] double fittingHeight(QTextDocument& document, double offsetMm, double heightMm);

// A document printed on its own: A4 pages with 20 mm margins, as many as its text needs, each showing the
// part of the document that fits. Progress in percent goes to the callback.
[[nodiscard]] Rendering documentPages(const QTextDocument& document, const QString& title,
                                            const std::function<void(int)>& progress = {});

} // namespace reports
