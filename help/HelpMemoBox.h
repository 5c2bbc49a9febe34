#pragma once

// The help note: form `TfmHelpMemo`.

#include <QStringList>
#include <QWidget>

class QLabel;
class QTextEdit;

// The short help note: a heading strip over a read-only box of text. Made once at start-up and only ever hidden
// when closed, so asking for it again brings the same window to the front.
class TfmHelpMemo : public QWidget
{
    Q_OBJECT
public:
    explicit TfmHelpMemo(QWidget* parent = nullptr);

    // The note's paragraphs, in order; an empty one is an empty line.
    [[nodiscard]] static QStringList noteParagraphs();

    static constexpr int ClientWidth = 442;
    static constexpr int ClientHeight = 307;

    QWidget* Panel1 = nullptr; // the heading strip
    QLabel* Label1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
};

namespace help {

// Help > Help Note: shows the note without waiting for it; nothing when there is none.
void Help1Click(TfmHelpMemo* note);

// Help > Help: hands the manual to the desktop. When there is no manual, or nothing shows it, an information box
// over owner says so and where the manual was looked for or lies.
void Help2Click(QWidget* owner);

// The name of the manual.
[[nodiscard]] QString manualFileName(); // "Manual.pdf"

// Where the manual is looked for, in this order: the program folder (a copy the user put there), beside the
// program file (the build puts it there), the installed data folder (share/tovrel beside the program's bin).
[[nodiscard]] QStringList manualCandidates();
// The first of those that exists; the program folder's when none does.
[[nodiscard]] QString manualPath();

} // namespace help
