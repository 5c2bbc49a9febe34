#include "sync/ui/SyncCommands.h"

#include "data/ContactStore.h"
#include "exchange/ui/ImportDialog.h"
#include "sync/SyncCli.h"
#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "sync/CardDavClient.h"
#include "sync/PasswordVault.h"
#include "sync/SyncEngine.h"
#include "sync/ui/SharedBook.h"

#include <QProgressDialog>
#include <QTimer>

namespace sharing {

namespace {

QString iniPath()
{
    return platform::programFile(QStringLiteral("TovrelIni.ini"));
}

void inform(QWidget* parent, const QString& text, platform::Icon icon = platform::Icon::Information)
{
    platform::prompts().message(parent, QStringLiteral("Information"), text, icon, platform::Buttons::Ok);
}

// Shows the account window; true when OK was chosen (account saved, password in `password`).
bool editAccount(QWidget* parent, SyncAccount& account, QString& password, const QString& askOnlyWhy = {})
{
    TfmSharedBook dialog(account, parent);
    if (!askOnlyWhy.isEmpty())
        dialog.askPasswordOnly(askOnlyWhy);
    else if (account.isSet())
        dialog.setPassword(sharing::keyring().read(account.url, account.user, nullptr).value_or(QString()));
    if (exchange::runDialog(dialog) != QDialog::Accepted)
        return false;
    account = dialog.account();
    password = dialog.password();
    writeSyncAccount(iniPath(), account);
    QString why;
    if (!password.isEmpty() && !sharing::keyring().write(account.url, account.user, password, &why) &&
        askOnlyWhy.isEmpty())
        inform(parent, QStringLiteral("The password cannot be kept (%1); it will be asked for at each sync.").arg(why));
    return true;
}

} // namespace

void SharedBookClick(QWidget* parent)
{
    platform::guard([&] {
        SyncAccount account = readSyncAccount(iniPath());
        QString password;
        editAccount(parent, account, password);
    });
}

void SynchroniseClick(QWidget* parent, data::ContactStore& store)
{
    platform::guard([&] {
        SyncAccount account = readSyncAccount(iniPath());
        QString password;
        if (!account.isSet()) {
            if (!editAccount(parent, account, password))
                return;
        }
        if (password.isEmpty()) {
            QString why;
            password = sharing::keyring().read(account.url, account.user, &why).value_or(QString());
            if (password.isEmpty() && !editAccount(parent, account, password, why))
                return;
        }
        sharing::CardDavClient::checkTransport(account.url, account.allowPlainHttp);

        // The pending edit is settled first, as a move would settle it.
        data::Dataset& query = store.HomeQuery;
        if (query.state() == data::Dataset::State::Edit || query.state() == data::Dataset::State::Insert) {
            if (query.isModified())
                query.post();
            else
                query.cancel();
        }
        store.connection.open();
        sharing::CardDavClient client(account.url, account.user, password);
        password.fill(QLatin1Char(' '));
        client.setAllowPlainHttp(account.allowPlainHttp);
        sharing::SyncEngine engine(store.connection.handle(), client);

        QProgressDialog progress(QStringLiteral("Synchronising with %1...").arg(account.url.host()),
                                 QStringLiteral("Cancel"), 0, 0, parent);
        progress.setWindowTitle(QStringLiteral("Tovrel"));
        // Application-modal: no other window may change the contacts while the pass reads and applies them.
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(300);
        progress.setAutoReset(false);
        progress.setAutoClose(false);
        QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&client] { client.cancel(); });
        engine.progress = [&progress](qint64 done, qint64 total, const QString& what) {
            progress.setMaximum(int(std::min<qint64>(total, 1 << 30)));
            progress.setValue(int(std::min<qint64>(done, 1 << 30)));
            progress.setLabelText(what + QStringLiteral("..."));
        };
        sharing::SyncSummary summary;
        QString failure;
        try {
            summary = engine.run();
        } catch (const platform::AppError& e) {
            failure = client.cancelled()
                          ? QStringLiteral("The synchronisation was cancelled; the contacts are as they were before "
                                           "its last step.")
                          : e.message();
        }
        progress.close();
        // Read again with the same SQL text, so that what arrived shows within the current selection.
        query.close();
        query.open();
        if (!failure.isEmpty())
            throw platform::AppError(failure);
        QString text = QStringLiteral("Synchronised: %1.").arg(summary.line());
        if (!summary.errors.isEmpty())
            text += QStringLiteral("\n\n") + summary.errors.join(QLatin1Char('\n'));
        inform(parent, text, summary.errors.isEmpty() ? platform::Icon::Information : platform::Icon::Warning);
    });
}

void syncAtStartIfAsked(QWidget* parent, data::ContactStore& store)
{
    if (!readSyncAccount(iniPath()).syncAtStart)
        return;
    QTimer::singleShot(0, parent, [parent, &store] { SynchroniseClick(parent, store); });
}

void syncAtExitIfAsked(data::ContactStore& store)
{
    if (readSyncAccount(iniPath()).syncAtExit)
        SynchroniseClick(nullptr, store);
}

} // namespace sharing
