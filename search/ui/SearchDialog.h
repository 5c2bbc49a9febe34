#pragma once

// The search dialog: form `TfmSQLSearchDialog`.

#include "search/SearchStatement.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TfmSearchHelp;

namespace data {
class Dataset;
}

// The search dialog: narrows the one contact selection to the contacts whose chosen field holds (or, with
// "NOT Search", does not hold) a word. Created once at start-up and shown modally; closing only hides it, so the
// marks, the word and the tick are kept between showings.
class TfmSQLSearchDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TfmSQLSearchDialog(data::Dataset& query, QWidget* parent = nullptr);
    ~TfmSQLSearchDialog() override;

    // Start-up: the first opening of the contact query.
    void FormCreate();

    [[nodiscard]] const QString& chosenField() const { return m_chosenField; }
    [[nodiscard]] TfmSearchHelp* helpWindow() const;

    QListWidget* sqListBox = nullptr;
    QLineEdit* sqEditBox = nullptr;
    QCheckBox* cboxNot = nullptr;
    QPushButton* sqRetryBtn = nullptr;
    QPushButton* sqOKBtn = nullptr;
    QPushButton* sqCancelBtn = nullptr;
    QPushButton* sqHelpBtn = nullptr;

    void sqListBoxClick();
    void sqOKBtnClick();
    void sqRetryBtnClick();
    void sqCancelBtnClick();
    void sqHelpBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reopen(const QStringList& sql);

    data::Dataset& m_query;
    QString m_chosenField; // the marked entry, kept for the whole run; empty while none is marked
    QPointer<TfmSearchHelp> m_help;
    bool m_placed = false;
};
