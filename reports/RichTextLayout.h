#pragma once

#include <QString>
#include <memory>

class QTextDocument;

namespace reports {

// The text a page keeps of a document: its HTML, followed by the tab stops that HTML cannot hold.
[[nodiscard]] QString richTextContent(const QTextDocument& document);

// A rich-text document laid out on the reference device (1200 dpi) at a width in mm, without a document
// margin. Its coordinates are reference units (1/1200 inch); the painter scales them to the device.
[[nodiscard]] std::unique_ptr<QTextDocument> layoutRichText(const QString& html, double widthMm);

// The height in mm at which to cut the document so that no line shows only in part: heightMm where every
// line fits, else the top of the first line that reaches below heightMm.
[[nodiscard]] double fittingHeight(QTextDocument& document, double heightMm);

} // namespace reports
