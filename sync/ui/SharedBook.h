#pragma once

#include "sync/SyncAccount.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

// File > Shared Address Book: the address book's URL (or the server's, with the books found there to choose
// from), the user name and the password, with "Test connection". The window only collects them; the caller
// keeps the account in the settings file and the password in the keyring.
class TfmSharedBook : public QDialog
{
    Q_OBJECT
public:
    explicit TfmSharedBook(const sharing::SyncAccount& account, QWidget* parent = nullptr);

    [[nodiscard]] sharing::SyncAccount account() const;
    [[nodiscard]] QString password() const;
    void setPassword(const QString& password);
    // Asks only for the password of the account shown (the keyring has none).
    void askPasswordOnly(const QString& why);

    QLineEdit* edUrl = nullptr;
    QPushButton* btnFind = nullptr;
    QComboBox* cbBooks = nullptr;
    QLineEdit* edUser = nullptr;
    QLineEdit* edPassword = nullptr;
    QCheckBox* cbSyncAtStart = nullptr;
    QCheckBox* cbSyncAtExit = nullptr;
    QPushButton* btnTest = nullptr;
    QLabel* lbStatus = nullptr;
    QDialogButtonBox* bbButtons = nullptr;

    void btnFindClick();
    void btnTestClick();
    void btnOKClick();

private:
    // The URL typed, checked for its transport; asks before plain http:// to another machine. false: not to be used.
    [[nodiscard]] bool usableUrl(QUrl& url);
    void setStatus(const QString& text, bool failed);

    bool m_allowPlainHttp = false;
};
