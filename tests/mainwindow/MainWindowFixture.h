#pragma once

// The main window in a temporary program folder, with recording fakes: on its own over the contact store and the
// search dialog (start), or the one a whole running program made (prepare, then attach).

#include "data/ContactStore.h"
#include "data/widgets/DatasetModel.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/ContactGrid.h"
#include "platform/AppError.h"
#include "platform/Commands.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "search/ui/SearchDialog.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

struct ProgramFixture
{
    QTemporaryDir dir;
    platform::Fakes fakes{};
    // start only: what the start-up hands the main window, and the search dialog its buttons show.
    std::unique_ptr<data::ContactStore> ownStore;
    platform::Commands ownTable;
    std::unique_ptr<TfmHomeAddMain> ownWindow;
    std::unique_ptr<TfmSQLSearchDialog> search;
    TfmHomeAddMain* w = nullptr;
    QStringList commands; // named commands run, in order

    QString file(const QString& name) const { return dir.filePath(name); }
    data::ContactStore& store() const { return *m_store; }
    platform::Commands& table() { return *m_table; }
    data::Dataset& q() const { return store().HomeQuery; }

    void writeFile(const QString& name, const QByteArray& bytes) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Makes the main window over the given contacts as the start-up does: shown first, then the search dialog,
    // whose creation opens the contact query. The county list file is written unless listFile is null.
    void start(const QList<testsupport::Contact>& contacts = testsupport::sampleContacts(),
               const QByteArray& listFile = QByteArray("Kent\r\nSomerset\r\n"))
    {
        prepare(contacts, listFile);
        ownStore = testsupport::contactStore(false);
        ownWindow = std::make_unique<TfmHomeAddMain>(*ownStore, ownTable);
        w = ownWindow.get();
        w->show();
        search = std::make_unique<TfmSQLSearchDialog>(ownStore->HomeQuery);
        ownTable.set(platform::Command::SearchDialog, [this] { search->exec(); });
        search->FormCreate();
        attach(*ownStore, ownTable, w);
    }

    // The program folder, the fakes, the contacts and the county list file (unless listFile is null).
    void prepare(const QList<testsupport::Contact>& contacts = testsupport::sampleContacts(),
                 const QByteArray& listFile = QByteArray("Kent\r\nSomerset\r\n"))
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fakes = platform::installFakes();
        platform::setProgramFolder(dir.path());
        testsupport::makeDatabase(file(QStringLiteral("Tovrel.mdb")), contacts);
        if (!listFile.isNull())
            writeFile(QStringLiteral("ListFile.txt"), listFile);
    }

    // Works on a main window made elsewhere; the commands of the other windows then only record that they ran.
    void attach(data::ContactStore& itsStore, platform::Commands& itsTable, TfmHomeAddMain* window)
    {
        m_store = &itsStore;
        m_table = &itsTable;
        w = window;
        for (const platform::Command command : platform::allCommands)
            if (command != platform::Command::SearchDialog)
                table().set(command, [this, command] { commands << platform::commandName(command); });
    }

    void activate() const
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    QStringList column(const QString& field) const
    {
        QStringList out;
        for (int r = 0; r < q().recordCount(); ++r)
            out << q().text(r, field);
        return out;
    }

    int storedCount() const
    {
        return testsupport::query(file(QStringLiteral("Tovrel.mdb")), QStringLiteral("SELECT count(*) FROM HomeAd"))
            .value(0)
            .toInt();
    }

    QStringList errors() const
    {
        QStringList out;
        for (const auto& p : fakes.prompts->asked)
            if (p.icon == platform::Icon::Error)
                out << p.text;
        return out;
    }

    ~ProgramFixture()
    {
        search.reset();
        ownWindow.reset();
        ownStore.reset();
        platform::setProgramFolder(QString());
    }

private:
    data::ContactStore* m_store = nullptr;
    platform::Commands* m_table = nullptr;
};
