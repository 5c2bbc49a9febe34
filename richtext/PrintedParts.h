#pragma once

#include <QDateTime>

#include <memory>

class QTextDocument;

// What a printed page of a letter shows beyond its text: the header and footer its file sets, and fields
// that take their value when printed.
namespace richtext {

struct PrintedParts
{
    std::unique_ptr<QTextDocument> header; // null where the letter has none
    std::unique_ptr<QTextDocument> footer;
    double headerTopMm = 12.7;    // the header's top, below the paper's top edge
    double footerBottomMm = 12.7; // the footer's bottom, above the paper's bottom edge
};

// The header and footer of the letter's first section, each as a document of its own (the one for every page
// where the file has several).
[[nodiscard]] PrintedParts printedParts(const QTextDocument& doc);

// Whether the document holds fields kept from its file (PAGE, DATE...).
[[nodiscard]] bool hasKeptFields(const QTextDocument& doc);

// Shows each PAGE field as `page`, NUMPAGES as `pages`, DATE and TIME as of `now` (in the field's own picture,
// "dd MMMM yyyy" say, where it gives one), as the printed page has them. Other fields keep their result.
void showPrintedFields(QTextDocument& doc, int page, int pages, const QDateTime& now);

} // namespace richtext
