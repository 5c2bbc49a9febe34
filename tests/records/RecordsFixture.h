#pragma once

#include "data/ContactStore.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A program folder with a contact database, the contact store over it and fakes for every prompt and sound.
struct RecordsFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    platform::Fakes fakes{};
    std::unique_ptr<data::ContactStore> store;

    void start(const QList<testsupport::Contact>& contacts, bool open = true)
    {
        dir = std::make_unique<QTemporaryDir>();
        fakes = platform::installFakes();
        platform::setProgramFolder(dir->path());
        testsupport::makeDatabase(dbPath(), contacts);
        store = testsupport::contactStore(open);
    }
    void stop()
    {
        store.reset();
        dir.reset();
    }

    [[nodiscard]] data::Dataset& q() const { return store->HomeQuery; }
    [[nodiscard]] QString dbPath() const { return dir->filePath(QStringLiteral("Tovrel.mdb")); }
    [[nodiscard]] QString iniPath() const { return dir->filePath(QStringLiteral("TovrelIni.ini")); }
    [[nodiscard]] QStringList stored(const QString& sql) const { return testsupport::query(dbPath(), sql); }

    void writeIni(const QByteArray& text) const
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    [[nodiscard]] QByteArray iniText() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The texts of the error boxes shown so far.
    [[nodiscard]] QStringList errors() const
    {
        QStringList out;
        for (const auto& p : fakes.prompts->asked)
            if (p.icon == platform::Icon::Error)
                out << p.text;
        return out;
    }
};

inline testsupport::Contact contact(const QString& surname, const QString& town = {})
{
    testsupport::Contact c{{QStringLiteral("Surname"), surname}};
    if (!town.isEmpty())
        c.insert(QStringLiteral("Town"), town);
    return c;
}

// Makes a window the active one, as a user's click would.
inline bool activate(QWidget* window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}
