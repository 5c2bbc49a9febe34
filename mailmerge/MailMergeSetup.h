#pragma once

// The mail merge set-up: form `TfmMailMergeSetup`.

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class TfmMailMergeEdit;
class TfmMailMergeHelp;
class TfmMailQR;

namespace data {
class Dataset;
}

// The starting point of a mail merge: the letter, the choice of names and the merged preview as three buttons,
// with "Match Font", help and close below. It holds no data of its own; it works through the text editor, the
// search dialog and the merged letter report, which it is handed.
class TfmMailMergeSetup : public QWidget
{
    Q_OBJECT
public:
    // What the window works through. The windows are asked for when a button is pressed (some are made after
    // this one); a null or empty one makes its button do nothing.
    struct Parts
    {
        data::Dataset* contacts = nullptr;         // the contacts the letters go to
        std::function<TfmMailMergeEdit*()> editor; // the letter body
        std::function<TfmMailQR*()> letters;       // the merged letter report
        std::function<TfmMailMergeHelp*()> help;
        std::function<void()> selectNames; // the search dialog, run modally
    };
    explicit TfmMailMergeSetup(Parts parts, QWidget* parent = nullptr);

    // Shows the window without blocking and brings it to the front.
    void showSetup();

    QWidget* Panel1 = nullptr; // the header
    QLabel* Label1 = nullptr;  // "Setup Mail Merge"
    QLabel* Label2 = nullptr;  // row 1
    QLabel* Label3 = nullptr;  // row 2
    QLabel* Label4 = nullptr;  // row 3
    QPushButton* btnDocument = nullptr;
    QPushButton* btnSelectNames = nullptr;
    QPushButton* btnMerge = nullptr;
    QPushButton* btnMatchFont = nullptr;
    QPushButton* btnHelp = nullptr;
    QPushButton* btnClose = nullptr;

    void btnDocumentClick();
    void btnSelectNamesClick();
    void btnMergeClick();
    void btnMatchFontClick();
    void btnHelpClick();
    void btnCloseClick();

private:
    Parts m_parts;
};
