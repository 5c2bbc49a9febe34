#include "sync/SyncCli.h"

#include "data/ContactStore.h"
#include "data/DatabaseCheck.h"
#include "platform/IniFile.h"
#include "data/Connection.h"
#include "platform/AppError.h"
#include "platform/Console.h"
#include "platform/ProgramFolder.h"
#include "sync/CardDavClient.h"
#include "sync/PasswordVault.h"
#include "sync/SyncEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace sharing {

using platform::printError;

namespace {

const QString Section = QStringLiteral("SharedAddressBook");

struct SyncOptionsGiven
{
    bool sync = false;
    QString url;
    QString user;
    QString passwordFile;
    bool allowHttp = false;
};

SyncOptionsGiven parse(const QStringList& arguments)
{
    SyncOptionsGiven o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--sync")) {
            o.sync = true;
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
                o.url = arguments[++i];
        } else if (a == QLatin1String("--user")) {
            o.user = platform::optionValue(arguments, i);
        } else if (a == QLatin1String("--password-file")) {
            o.passwordFile = platform::optionValue(arguments, i);
        } else if (a == QLatin1String("--allow-http")) {
            o.allowHttp = true;
        } else {
            throw platform::AppError(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (!o.url.isEmpty() && o.user.isEmpty())
        throw platform::AppError(QStringLiteral("--sync URL needs --user NAME"));
    if (o.url.isEmpty() && !o.user.isEmpty())
        throw platform::AppError(QStringLiteral("--user needs the address book's URL after --sync"));
    return o;
}

QString firstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot read the password file %1: %2").arg(path, file.errorString()));
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw platform::AppError(QStringLiteral("The password file %1 is empty").arg(path));
    return QString::fromUtf8(line);
}

// Nothing is written to a URL that is not an address book (a server would store each card as a folder of its
// own); where address books are found under it, they are named.
void checkAddressBook(sharing::CardDavClient& client)
{
    try {
        client.checkCollection();
    } catch (const platform::AppError& e) {
        QList<sharing::AddressBook> books;
        try {
            books = client.discover();
        } catch (const platform::AppError&) {
        }
        QString message = e.message();
        if (!books.isEmpty()) {
            message += QStringLiteral(". Address books found there (give one with --sync URL):");
            for (const sharing::AddressBook& b : books)
                message += QStringLiteral("\n  %1 (%2)").arg(b.url.toDisplayString(QUrl::RemoveUserInfo), b.name);
        }
        throw platform::AppError(message);
    }
}

} // namespace

bool isSyncCommand(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--sync"));
}

SyncAccount readSyncAccount(const QString& iniPath)
{
    const IniFile ini(iniPath);
    SyncAccount a;
    const QString url = ini.readString(Section, QStringLiteral("Url"));
    if (!url.isEmpty())
        a.url = QUrl(url);
    a.user = ini.readString(Section, QStringLiteral("User"));
    a.allowPlainHttp = ini.readInteger(Section, QStringLiteral("AllowHttp"), 0) != 0;
    a.syncAtStart = ini.readInteger(Section, QStringLiteral("SyncAtStart"), 0) != 0;
    a.syncAtExit = ini.readInteger(Section, QStringLiteral("SyncAtExit"), 0) != 0;
    return a;
}

void writeSyncAccount(const QString& iniPath, const SyncAccount& account)
{
    IniFile ini(iniPath);
    ini.writeString(Section, QStringLiteral("Url"), account.url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded));
    ini.writeString(Section, QStringLiteral("User"), account.user);
    ini.writeInteger(Section, QStringLiteral("AllowHttp"), account.allowPlainHttp ? 1 : 0);
    ini.writeInteger(Section, QStringLiteral("SyncAtStart"), account.syncAtStart ? 1 : 0);
    ini.writeInteger(Section, QStringLiteral("SyncAtExit"), account.syncAtExit ? 1 : 0);
}

std::optional<int> runSyncCommand(const QStringList& arguments, int& argc, char** argv)
{
    if (!isSyncCommand(arguments))
        return std::nullopt;
    SyncOptionsGiven o;
    try {
        o = parse(arguments);
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 2;
    }
    QCoreApplication core(argc, argv);
    try {
        const QString ini = platform::programFile(QStringLiteral("TovrelIni.ini"));
        SyncAccount account = readSyncAccount(ini);
        if (!o.url.isEmpty()) {
            account.url = QUrl::fromUserInput(o.url);
            account.user = o.user;
        }
        if (o.allowHttp)
            account.allowPlainHttp = true;
        if (!account.isSet())
            throw platform::AppError(
                QStringLiteral("No shared address book is set up: give its URL with --sync URL --user NAME"));
        sharing::CardDavClient::checkTransport(account.url, account.allowPlainHttp);
        // A new account is kept only once its first sync went through.
        const bool newAccount = !o.url.isEmpty();
        if (!newAccount && o.allowHttp)
            writeSyncAccount(ini, account);

        QString password;
        if (!o.passwordFile.isEmpty()) {
            password = firstLine(o.passwordFile);
        } else {
            QString why;
            const std::optional<QString> stored = sharing::keyring().read(account.url, account.user, &why);
            if (!stored)
                throw platform::AppError(QStringLiteral("No password for %1 (%2): give it with --password-file FILE")
                                             .arg(account.user, why));
            password = *stored;
        }

        data::Connection connection;
        connection.setDatabasePath(platform::programFile(data::databaseFileName()));
        {
            // Checked on a connection that only reads, before the one that writes sets up its side tables.
            data::Connection probe;
            probe.setDatabasePath(connection.databasePath());
            probe.setReadOnce(true);
            data::requireSoundDatabase(probe, QStringLiteral("nothing was synchronised"));
        }
        connection.open();
        sharing::CardDavClient client(account.url, account.user, password);
        password.fill(QLatin1Char(' '));
        client.setAllowPlainHttp(account.allowPlainHttp);
        if (newAccount)
            checkAddressBook(client);
        sharing::SyncEngine engine(connection.handle(), client);
        const sharing::SyncSummary summary = engine.run();
        if (newAccount)
            writeSyncAccount(ini, account);
        std::printf("%s\n", qPrintable(summary.line()));
        for (const QString& e : summary.errors)
            printError(e);
        if (summary.skipped > 0)
            printError(QStringLiteral("%1 contacts changed here during the sync are taken up by the next one")
                           .arg(summary.skipped));
        return summary.errors.isEmpty() ? 0 : 1;
    } catch (const platform::AppError& e) {
        printError(e.message());
        return 1;
    }
}

} // namespace sharing
