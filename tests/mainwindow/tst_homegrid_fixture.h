#pragma once

// A running program in a temporary program folder: the application object, its windows and recording fakes.

#include "app/Application.h"
#include "mainwindow/HomeGrid.h"
#include "mainwindow/HomeGridView.h"
#include "data/DatasetModel.h"
#include "platform/AppError.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
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
    std::unique_ptr<app::Application> application;
    TfmHomeAddMain* w = nullptr;
    QStringList commands; // named commands run, in order

    QString file(const QString& name) const { return dir.filePath(name); }
    data::Dataset& q() const { return application->store.HomeQuery; }

    void writeFile(const QString& name, const QByteArray& bytes) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Starts the program over the given contacts; the county list file is written unless listFile is null.
    void start(const QList<testsupport::Contact>& contacts = testsupport::sampleContacts(),
               const QByteArray& listFile = QByteArray("Kent\r\nSomerset\r\n"))
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fakes = platform::installFakes();
        platform::setProgramFolder(dir.path());
        testsupport::makeDatabase(file(QStringLiteral("Tovrel.mdb")), contacts);
        if (!listFile.isNull())
            writeFile(QStringLiteral("ListFile.txt"), listFile);
        application = std::make_unique<app::Application>();
        application->startUp();
        w = application->fmHomeAddMain;
        for (const char* name :
             {"recordCard", "formView", "countyEditor", "phoneList", "labels21", "labels16", "labels14", "stockLabels",
              "envelopes", "filofax", "diary", "mailMerge", "notepad", "backup", "restore", "import", "export",
              "sharedBook", "synchronise", "manual", "helpNote", "about"}) {
            const QString command = QString::fromLatin1(name);
            application->setCommand(command, [this, command] { commands << command; });
        }
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
        application.reset();
        platform::setProgramFolder(QString());
    }
};
