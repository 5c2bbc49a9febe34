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

// Help > Help: hands Manual.pdf in the program folder to the desktop. Nothing is said when there is no such file
// or nothing to show it with.
void Help2Click();

// The name of the manual in the program folder.
[[nodiscard]] QString manualFileName(); // "Manual.pdf"

} // namespace app
