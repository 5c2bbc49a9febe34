#include "RecordsFixture.h"
#include "support/FailingWrite.h"

#include "platform/ListFile.h"
#include "records/CountyListEditor.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

class TestCountyListEditor : public QObject
{
    Q_OBJECT

    RecordsFixture f;
    QStringList pickList; // the pick list in use, as the main window would hold it
    std::unique_ptr<TfmCountyListEdit> editor;

    QString listPath() const { return f.dir->filePath(QStringLiteral("ListFile.txt")); }
    QByteArray listBytes() const
    {
        QFile file(listPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    void writeList(const QByteArray& bytes) const
    {
        QFile file(listPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void add(const QString& text)
    {
        editor->edCountyList->setText(text);
        QTest::mouseClick(editor->btAddEdit, Qt::LeftButton);
    }

private slots:
    void init()
    {
        f.start({});
        pickList.clear();
        TfmCountyListEdit::PickList inUse;
        inUse.read = [this] { return pickList; };
        inUse.replace = [this](const QStringList& entries) { pickList = entries; };
        editor = std::make_unique<TfmCountyListEdit>(std::move(inUse));
    }
    void cleanup()
    {
        editor.reset();
        f.stop();
    }

    void window()
    {
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit County Pick List"));
        QCOMPARE(editor->size(), QSize(295, 328));
        QCOMPARE(editor->pos(), QPoint(341, 172));
        QVERIFY(editor->isModal());
        QVERIFY(editor->minimumSize() != editor->maximumSize());
        QVERIFY(editor->btOKEdit->isDefault());
        QCOMPARE(editor->edCountyList->toolTip(), QStringLiteral("Enter new county name"));
        QCOMPARE(editor->btAddEdit->toolTip(), QString());
        QCOMPARE(editor->btAddEdit->statusTip(), QStringLiteral("Adds new name to list above"));
        QCOMPARE(editor->lbCountyList->selectionMode(), QAbstractItemView::SingleSelection);
    }

    void alphabeticalIgnoringCase_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("mixed case") << QStringList{"kent", "Avon", "norfolk", "Dorset", "bath"}
                                    << QStringList{"Avon", "bath", "Dorset", "kent", "norfolk"};
        QTest::newRow("blank and repeated entries kept")
            << QStringList{"Kent", "", "Avon", "Kent", ""} << QStringList{"", "", "Avon", "Kent", "Kent"};
        QTest::newRow("same name in two cases, in the order given")
            << QStringList{"KENT", "Avon", "kent"} << QStringList{"Avon", "KENT", "kent"};
    }
    void alphabeticalIgnoringCase()
    {
        QFETCH(QStringList, given);
        QFETCH(QStringList, shown);
        editor->edCountyList->setText(QStringLiteral("kept"));
        editor->fill({QStringLiteral("old")});
        editor->fill(given);
        QCOMPARE(editor->entries(), shown);
        QCOMPARE(editor->edCountyList->text(), QStringLiteral("kept"));
    }

    // Exactly what was typed, at its place: an empty box and a repeated name are added too.
    void addToList()
    {
        editor->fill({QStringLiteral("Avon"), QStringLiteral("Kent")});
        add(QStringLiteral("derby"));
        add(QStringLiteral("Kent"));
        add(QString());
        add(QStringLiteral(" Zeeland "));
        QCOMPARE(editor->entries(), (QStringList{"", " Zeeland ", "Avon", "derby", "Kent", "Kent"}));
        QCOMPARE(editor->edCountyList->text(), QStringLiteral(" Zeeland "));
    }

    void deleteItem()
    {
        editor->fill({QStringLiteral("Avon"), QStringLiteral("Kent"), QStringLiteral("Bath")});
        QTest::mouseClick(editor->btDeleteItem, Qt::LeftButton); // nothing selected
        QCOMPARE(editor->entries().size(), 3);
        editor->lbCountyList->item(1)->setSelected(true);
        QTest::mouseClick(editor->btDeleteItem, Qt::LeftButton);
        QCOMPARE(editor->entries(), (QStringList{"Avon", "Kent"}));
    }

    void okPutsTheListIntoUseAndWritesIt_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("sorted, CR LF after every entry")
            << QStringList{"kent", "", "Avon", "Kent"} << QByteArray("\r\nAvon\r\nkent\r\nKent\r\n");
        QTest::newRow("empty list: empty file") << QStringList() << QByteArray("");
        QTest::newRow("Windows-1252 when it fits")
            << QStringList{QStringLiteral("Nièvre")} << QByteArray("Ni\xE8vre\r\n");
        QTest::newRow("UTF-8 otherwise") << QStringList{QStringLiteral("Łódzkie"), QStringLiteral("Ariège")}
                                         << QByteArray("Ari\xC3\xA8ge\r\n\xC5\x81\xC3\xB3\x64zkie\r\n");
    }
    void okPutsTheListIntoUseAndWritesIt()
    {
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, bytes);
        writeList("Former\r\nlist\r\n");
        editor->fill(entries);
        editor->show();
        QTest::mouseClick(editor->btOKEdit, Qt::LeftButton);
        QVERIFY(!editor->isVisible());
        QCOMPARE(editor->result(), int(QDialog::Accepted));
        QCOMPARE(pickList, editor->entries());
        QCOMPARE(listBytes(), bytes);
        // What is read back at the next start is the list as it was, every name whole.
        QCOMPARE(readListFile(listPath()), editor->entries());
        QVERIFY(f.errors().isEmpty());
    }

    void failedWriteKeepsTheFormerFile_data()
    {
        QTest::addColumn<bool>("folderInTheWay");
        QTest::newRow("the disk refuses more bytes") << false;
        QTest::newRow("a folder in the way") << true;
    }
    // The former file stays whole and the error names it; the new list is in use all the same and the editor closes.
    void failedWriteKeepsTheFormerFile()
    {
        QFETCH(bool, folderInTheWay);
        const QStringList entries{QString(100, QLatin1Char('a')), QString(100, QLatin1Char('b'))};
        editor->fill(entries);
        editor->show();
        if (folderInTheWay) {
            QVERIFY(QDir(f.dir->path()).mkdir(QStringLiteral("ListFile.txt")));
            QTest::mouseClick(editor->btOKEdit, Qt::LeftButton);
        } else {
            writeList("Kent\r\n");
            // Files may grow to 64 bytes only, for the length of the click.
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit small = old;
            small.rlim_cur = 64;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            {
                const auto restore = qScopeGuard([&] {
                    setrlimit(RLIMIT_FSIZE, &old);
                    std::signal(SIGXFSZ, oldHandler);
                });
                QTest::mouseClick(editor->btOKEdit, Qt::LeftButton);
            }
            QCOMPARE(listBytes(), QByteArray("Kent\r\n"));
        }
        QCOMPARE(f.errors().size(), 1);
        QVERIFY2(testsupport::reportsFailure(f.errors().constFirst(), QStringLiteral("Cannot create file %1").arg(listPath())),
                 qPrintable(f.errors().constFirst()));
        QCOMPARE(pickList, entries);
        QVERIFY(!editor->isVisible());
        // No temporary file is left behind.
        const QStringList files =
            folderInTheWay ? QStringList{"Tovrel.mdb"} : QStringList{"ListFile.txt", "Tovrel.mdb"};
        QCOMPARE(QDir(f.dir->path()).entryList(QDir::Files | QDir::Hidden), files);
    }

    void closeDiscards_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("&Close") << false;
        QTest::newRow("the close box") << true;
    }
    void closeDiscards()
    {
        QFETCH(bool, closeBox);
        pickList = {QStringLiteral("Kent")};
        editor->fill(pickList);
        editor->show();
        add(QStringLiteral("Avon"));
        if (closeBox)
            editor->close();
        else
            QTest::mouseClick(editor->BitBtn1, Qt::LeftButton);
        QVERIFY(!editor->isVisible());
        QCOMPARE(pickList, QStringList{"Kent"});
        QVERIFY(!QFile::exists(listPath()));
    }

    // Escape is Close: the edit is discarded.
    void escapeCloses()
    {
        pickList = {QStringLiteral("Kent")};
        editor->fill(pickList);
        QVERIFY(activate(editor.get()));
        add(QStringLiteral("Avon"));
        QTest::keyClick(editor->lbCountyList, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QCOMPARE(pickList, QStringList{"Kent"});
    }

    // Enter in the text box adds what was typed and stays open for the next name; OK then keeps them.
    void enterInTheTextBoxAdds()
    {
        editor->fill({QStringLiteral("Kent")});
        QVERIFY(activate(editor.get()));
        editor->edCountyList->setFocus();
        QTest::keyClicks(editor->edCountyList, QStringLiteral("Derby"));
        QTest::keyClick(editor->edCountyList, Qt::Key_Return);
        QTest::keyClicks(editor->edCountyList, QStringLiteral("Avon"));
        QTest::keyClick(editor->edCountyList, Qt::Key_Enter);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->entries(), (QStringList{"Avon", "Derby", "Kent"}));
        QTest::keyClick(editor->edCountyList, Qt::Key_Return); // an empty box adds nothing
        QCOMPARE(editor->entries().size(), 3);
        editor->btOKEdit->click();
        QCOMPARE(listBytes(), QByteArray("Avon\r\nDerby\r\nKent\r\n"));
    }

    void reopensWhereItWasClosed()
    {
        editor->show();
        QCOMPARE(editor->pos(), QPoint(341, 172));
        editor->move(10, 20);
        editor->close();
        editor->show();
        QCOMPARE(editor->pos(), QPoint(10, 20));
    }

    // The main window's command fills the editor from the grid's pick list and waits until it is closed.
    void editPickListRunsModally()
    {
        pickList = {QStringLiteral("norfolk"), QStringLiteral("Avon")};
        QStringList seen;
        QTimer::singleShot(0, editor.get(), [&] {
            seen = editor->entries();
            QVERIFY(editor->isVisible());
            editor->BitBtn1->click();
        });
        editor->editPickList();
        QCOMPARE(seen, (QStringList{"Avon", "norfolk"}));
        QVERIFY(!editor->isVisible());
    }
};

QTEST_MAIN(TestCountyListEditor)
#include "tst_countylisteditor.moc"
