#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The starting point of a mail merge: the letter, the choice of names and the merged preview as three buttons,
// with "Match Font", help and close below. It holds no data of its own; it works through the text editor, the
// search dialog and the merged letter report, all reached through the application object.
class TfmMailMergeSetup : public QWidget
{
    Q_OBJECT
public:
    explicit TfmMailMergeSetup(QWidget* parent = nullptr);

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
};
