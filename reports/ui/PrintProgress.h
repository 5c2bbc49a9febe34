#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The window shown while a report is printed: a progress bar, the percentage done and a "Cancel" button that
// stops the printing. It keeps the rest of the program waiting while it is shown.
class TfmPrintProgress : public QDialog
{
    Q_OBJECT
public:
    explicit TfmPrintProgress(QWidget* parent = nullptr);

    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblCompleted = nullptr;
    QPushButton* btnCancel = nullptr;

    // The rendering's progress; bar and text move on each time it reaches a further multiple of 5.
    void setProgress(int percent);
    // Rendering is over and the pages are on their way: there is nothing left to cancel.
    void sending();

    [[nodiscard]] bool cancelRequested() const { return m_cancel; }

    void btnCancelClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showPercent(int percent);

    int m_shown = 0;
    bool m_cancel = false;
};
