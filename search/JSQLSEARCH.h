#pragma once

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

namespace search {

// The search statement: five lines, the field between square brackets when its name holds a space, and the word
// inside a double-quoted pattern with its double quotes doubled, so that whatever the word holds it stays one
// text value and the statement stays one query. The word is found as typed: "%", "_" and "\" in it are escaped.
// A NOT search keeps the contacts whose field is empty too, for they do not hold the word; a date field is
// searched in the forms the user sees as well as the stored one.
[[nodiscard]] QStringList searchStatement(const QString& field, const QString& word, bool notSearch);

// The dialog's Reset: every contact, sorted by surname.
[[nodiscard]] QStringList resetStatement();

} // namespace search

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
