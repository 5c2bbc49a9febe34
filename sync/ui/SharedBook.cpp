#include "sync/ui/SharedBook.h"

#include "platform/AppError.h"
#include "platform/Services.h"
#include "sync/CardDavClient.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmSharedBook::TfmSharedBook(const sharing::SyncAccount& account, QWidget* parent)
    : QDialog(parent), m_allowPlainHttp(account.allowPlainHttp)
{
    setObjectName(QStringLiteral("fmSharedBook"));
    setWindowTitle(QStringLiteral("Shared Address Book"));
    auto* form = new QFormLayout;
    edUrl = new QLineEdit(account.url.toString(QUrl::RemoveUserInfo));
    edUrl->setObjectName(QStringLiteral("edUrl"));
    edUrl->setPlaceholderText(QStringLiteral("https://server.example/ or the address book's own URL"));
    edUrl->setMinimumWidth(380);
    btnFind = new QPushButton(QStringLiteral("&Find address books"));
    btnFind->setObjectName(QStringLiteral("btnFind"));
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(edUrl, 1);
    urlRow->addWidget(btnFind);
    // A row holding a layout gets a label without a buddy, which would show the "&" as it is.
    auto* lbUrl = new QLabel(QStringLiteral("&Address:"));
    lbUrl->setBuddy(edUrl);
    form->addRow(lbUrl, urlRow);
    cbBooks = new QComboBox;
    cbBooks->setObjectName(QStringLiteral("cbBooks"));
    cbBooks->setVisible(false);
    cbBooks->setAccessibleName(QStringLiteral("Address books found"));
    form->addRow(QString(), cbBooks);
    edUser = new QLineEdit(account.user);
    edUser->setObjectName(QStringLiteral("edUser"));
    form->addRow(QStringLiteral("&User name:"), edUser);
    edPassword = new QLineEdit;
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Password:"), edPassword);
    cbSyncAtStart = new QCheckBox(QStringLiteral("Synchronise at &start"));
    cbSyncAtStart->setObjectName(QStringLiteral("cbSyncAtStart"));
    cbSyncAtStart->setChecked(account.syncAtStart);
    cbSyncAtExit = new QCheckBox(QStringLiteral("Synchronise at e&xit"));
    cbSyncAtExit->setObjectName(QStringLiteral("cbSyncAtExit"));
    cbSyncAtExit->setChecked(account.syncAtExit);
    form->addRow(QString(), cbSyncAtStart);
    form->addRow(QString(), cbSyncAtExit);

    btnTest = new QPushButton(QStringLiteral("&Test connection"));
    btnTest->setObjectName(QStringLiteral("btnTest"));
    lbStatus = new QLabel;
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setWordWrap(true);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(btnTest);
    testRow->addWidget(lbStatus, 1);

    bbButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    bbButtons->setObjectName(QStringLiteral("bbButtons"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(testRow);
    layout->addWidget(bbButtons);

    connect(btnFind, &QPushButton::clicked, this, &TfmSharedBook::btnFindClick);
    connect(btnTest, &QPushButton::clicked, this, &TfmSharedBook::btnTestClick);
    connect(bbButtons, &QDialogButtonBox::accepted, this, &TfmSharedBook::btnOKClick);
    connect(bbButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cbBooks, &QComboBox::activated, this, [this](int i) {
        edUrl->setText(cbBooks->itemData(i).toUrl().toString());
    });
}

sharing::SyncAccount TfmSharedBook::account() const
{
    sharing::SyncAccount a;
    a.url = QUrl::fromUserInput(edUrl->text().trimmed());
    a.user = edUser->text().trimmed();
    a.allowPlainHttp = m_allowPlainHttp && a.url.scheme() == QLatin1String("http");
    a.syncAtStart = cbSyncAtStart->isChecked();
    a.syncAtExit = cbSyncAtExit->isChecked();
    return a;
}

QString TfmSharedBook::password() const
{
    return edPassword->text();
}

void TfmSharedBook::setPassword(const QString& password)
{
    edPassword->setText(password);
}

void TfmSharedBook::askPasswordOnly(const QString& why)
{
    edUrl->setEnabled(false);
    btnFind->setEnabled(false);
    edUser->setEnabled(false);
    setStatus(QStringLiteral("The password is needed for this sync (%1).").arg(why), false);
    edPassword->setFocus();
}

void TfmSharedBook::setStatus(const QString& text, bool failed)
{
    lbStatus->setText(text);
    lbStatus->setStyleSheet(failed ? QStringLiteral("color: #b00020") : QString());
}

bool TfmSharedBook::usableUrl(QUrl& url)
{
    url = QUrl::fromUserInput(edUrl->text().trimmed());
    if (url.scheme() == QLatin1String("http") && !sharing::CardDavClient::isLoopback(url) && !m_allowPlainHttp &&
        url.isValid() && !url.host().isEmpty()) {
        const platform::Answer a = platform::prompts().message(
            this, QStringLiteral("Confirm"),
            QStringLiteral("%1 is reached with plain http://: the password and the contacts travel unencrypted. "
                           "Use it anyway?")
                .arg(url.host()),
            platform::Icon::Warning, platform::Buttons::OkCancel);
        if (a != platform::Answer::Ok)
            return false;
        m_allowPlainHttp = true;
    }
    try {
        sharing::CardDavClient::checkTransport(url, m_allowPlainHttp);
    } catch (const platform::AppError& e) {
        setStatus(e.message(), true);
        return false;
    }
    return true;
}

void TfmSharedBook::btnFindClick()
{
    QUrl url;
    if (!usableUrl(url))
        return;
    setStatus(QStringLiteral("Looking for address books..."), false);
    try {
        sharing::CardDavClient client(url, edUser->text().trimmed(), edPassword->text());
        client.setAllowPlainHttp(m_allowPlainHttp);
        const QList<sharing::AddressBook> books = client.discover();
        cbBooks->clear();
        for (const sharing::AddressBook& b : books)
            cbBooks->addItem(QStringLiteral("%1 (%2)").arg(b.name, b.url.path()), b.url);
        cbBooks->setVisible(!books.isEmpty());
        if (books.isEmpty()) {
            setStatus(QStringLiteral("No address book was found there."), true);
            return;
        }
        edUrl->setText(books.first().url.toString());
        setStatus(books.size() == 1 ? QStringLiteral("One address book found.")
                                    : QStringLiteral("%1 address books found: choose one.").arg(books.size()),
                  false);
    } catch (const platform::AppError& e) {
        setStatus(e.message(), true);
    }
}

void TfmSharedBook::btnTestClick()
{
    QUrl url;
    if (!usableUrl(url))
        return;
    setStatus(QStringLiteral("Connecting..."), false);
    try {
        sharing::CardDavClient client(url, edUser->text().trimmed(), edPassword->text());
        client.setAllowPlainHttp(m_allowPlainHttp);
        client.checkCollection();
        setStatus(QStringLiteral("Connected: the address book answers."), false);
    } catch (const platform::AppError& e) {
        setStatus(e.message(), true);
    }
}

void TfmSharedBook::btnOKClick()
{
    QUrl url;
    if (!usableUrl(url))
        return;
    if (edUser->text().trimmed().isEmpty()) {
        setStatus(QStringLiteral("Give the user name."), true);
        edUser->setFocus();
        return;
    }
    accept();
}
