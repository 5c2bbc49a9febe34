#pragma once

// The letter editor's find and replace box: form `TfmFindReplace`.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TfmMailMergeEdit;

// The text editor's Find and Replace window: modeless, one for both, the replace row shown for Replace.
class TfmFindReplace : public QDialog
{
    Q_OBJECT
public:
    explicit TfmFindReplace(TfmMailMergeEdit* editor);

    // Shows the window for finding only, or for replacing too, with the editor's selection as the text to find.
    void showFor(bool replace, const QString& selection);

    QLineEdit* edtFind = nullptr;
    QLabel* lblReplace = nullptr;
    QLineEdit* edtReplace = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QCheckBox* chkWholeWord = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnReplace = nullptr;
    QPushButton* btnReplaceAll = nullptr;
    QPushButton* btnClose = nullptr;

    void btnFindNextClick();
    void btnReplaceClick();
    void btnReplaceAllClick();

private:
    void notFound();

    TfmMailMergeEdit* m_editor;
};
