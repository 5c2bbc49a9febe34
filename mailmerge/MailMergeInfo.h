#pragma once

// The mail merge's help note: form `TfmMailMergeHelp`.

#include <QStringList>
#include <QWidget>

class QLabel;
class QTextEdit;

// The mail merge's help note: a heading band and a short text on how to merge. The text can be typed into;
// what is typed stays until the program ends, as the window is only ever hidden.
class TfmMailMergeHelp : public QWidget
{
    Q_OBJECT
public:
    explicit TfmMailMergeHelp(QWidget* parent = nullptr);

    // The note's paragraphs, in order.
    [[nodiscard]] static QStringList helpParagraphs();

    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr; // "Helpful Information"
    QTextEdit* RichEdit1 = nullptr;
};
