#pragma once

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

    // The note's nineteen lines, in order.
    [[nodiscard]] static QStringList noteLines();

    QWidget* Panel1 = nullptr; // the heading strip
    QLabel* Label1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
};

namespace app {

// Help > Help Note: shows the note without waiting for it.
void Help1Click();

// Help > Help: hands the manual to the desktop. Nothing is said when there is no such file or nothing to show it with.
void Help2Click();

// The name of the manual in the program folder.
[[nodiscard]] QString manualFileName(); // "Manual.pdf"

// Where the manual is looked for, in this order: the program folder (a copy the user put there), beside the
// program file (the build puts it there), the installed data folder (share/tovrel beside the program's bin).
[[nodiscard]] QStringList manualCandidates();
// The first of those that exists; the program folder's when none does.
[[nodiscard]] QString manualPath();

} // namespace app
