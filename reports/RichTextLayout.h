#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QTextDocument;

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
