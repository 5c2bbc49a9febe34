#include "RecordsFixture.h"

#include "data/widgets/DBEdit.h"
#include "data/widgets/DBMemo.h"
#include "platform/IniFile.h"
#include "records/RecordCard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <sqlite3.h>

using testsupport::Contact;

namespace {

// Sounds of both kinds in the order they were started.
class OrderedSound final : public platform::Sound
{
public:
    void playFile(const QString& name) override { played << QStringLiteral("file:") + name; }
    void playEvent(const QString& event) override { played << QStringLiteral("event:") + event; }
    QStringList played;
};

const QString ClosedError = QStringLiteral("HomeQuery: Cannot perform this operation on a closed dataset.");

} // namespace

class TestRecordCard : public QObject
{
    Q_OBJECT

    RecordsFixture f;
    std::unique_ptr<TfmRecCard> card;

    QString shown(const QString& field) const { return card->box(field)->text(); }
    void click(RecCardPanel* panel) { QTest::mouseClick(panel, Qt::LeftButton); }
    int storedCount() const { return f.stored(QStringLiteral("SELECT count(*) FROM HomeAd")).value(0).toInt(); }
    void reopenWith(const QString& sql)
    {
        f.q().close();
        f.q().setSql({sql});
        f.q().open();
    }

private slots:
    void init()
    {
        f.start({contact(QStringLiteral("Adams"), QStringLiteral("Bath")),
                 contact(QStringLiteral("Brown"), QStringLiteral("Leeds")),
                 contact(QStringLiteral("Clark"), QStringLiteral("York"))});
        card = std::make_unique<TfmRecCard>(f.q());
    }
    void cleanup()
    {
        card.reset();
        f.stop();
    }

    void window()
    {
        QCOMPARE(card->windowTitle(), QStringLiteral("Record Card"));
        QCOMPARE(card->size(), QSize(548, 358));
        QCOMPARE(card->minimumSize(), card->maximumSize());
        QCOMPARE(card->pos(), QPoint(354, 320));
        QVERIFY(!card->isVisible());
    }

    void face_data()
    {
        QTest::addColumn<int>("faceRow");
        // The picture lies 3 pixels above the face, so its rules at 26, 49, ... 332 show 3 rows higher.
        const QList<int> rules = RecCardFace::ruleRows();
        for (qsizetype i = 0; i < rules.size(); ++i)
            QTest::addRow("rule %d", int(i + 1)) << rules[i] - 3;
    }
    void face()
    {
        QFETCH(int, faceRow);
        const QImage image = card->face->grab().toImage();
        QCOMPARE(image.height(), TfmRecCard::FaceHeight);
        const auto isRuleBlue = [](QColor c) { return c.blue() == 255 && c.red() <= 153 && c.green() >= 153; };
        for (int x : {0, 2, 547})
            QVERIFY2(isRuleBlue(image.pixelColor(x, faceRow)), qPrintable(image.pixelColor(x, faceRow).name()));
        QCOMPARE(image.pixelColor(2, faceRow - 2), QColor(Qt::white));
        // The red rules stand in front of the card's rules.
        QCOMPARE(image.pixelColor(card->Panel2->x() + 1, faceRow), QColor(255, 0, 0));
    }

    void redRules()
    {
        const QImage image = card->face->grab().toImage();
        QCOMPARE(card->Panel2->geometry(), QRect(card->Panel2->x(), 0, 3, TfmRecCard::FaceHeight));
        QCOMPARE(card->Panel10->width(), 3);
        QCOMPARE(card->Panel10->geometry().bottom(), TfmRecCard::FaceHeight - 1);
        // Panel10 starts just above "Country" and is not there higher up.
        QVERIFY(card->Panel10->y() < card->box(QStringLiteral("Country"))->y());
        QVERIFY(card->Panel10->y() > card->box(QStringLiteral("Country"))->y() - 8);
        QCOMPARE(image.pixelColor(card->Panel10->x() + 1, TfmRecCard::FaceHeight - 1), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(card->Panel10->x() + 1, 10), QColor(Qt::white));
        // Below the face lies the cream button bar.
        const QImage whole = card->grab().toImage();
        QCOMPARE(whole.pixelColor(2, TfmRecCard::FaceHeight + 1), QColor(255, 251, 240));
    }

    void boxes()
    {
        const QStringList order = {"Firstname", "Midname", "Surname",  "Address1", "Address2",  "A3_Village",
                                   "Town",      "County",  "PostCode", "Tel",      "Cell",      "Email",
                                   "Work Tel",  "Notes",   "Country",  "Flag",     "Flag2",     "Birthday",  "Workplace"};
        // Walk the real focus chain from the first box.
        QStringList chain;
        QWidget* w = card->box(QStringLiteral("Firstname"));
        do {
            if (auto* edit = qobject_cast<data::DBEdit*>(w))
                chain << edit->dataField();
            else if (auto* memo = qobject_cast<data::DBMemo*>(w))
                chain << memo->dataField();
            w = w->nextInFocusChain();
        } while (w != card->box(QStringLiteral("Firstname")) && chain.size() < 40);
        QCOMPARE(chain, order);

        QStringList labels;
        for (QLabel* label : card->face->findChildren<QLabel*>()) {
            if (label == card->messageLine)
                continue;
            labels << label->text();
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        }
        QCOMPARE(labels, (QStringList{"First name", "Middle name", "Surname", "Address", "Village", "Town",
                                      "County / State", "PostCode", "Phone", "Mobile", "Email", "Work Tel",
                                      "Country", "Flag", "Flag 2", "Birthday", "Work place", "Notes:"}));
        // The single-line boxes stand on the card's rules.
        const QList<int>& rules = RecCardFace::ruleRows();
        for (const QString& field : order)
            if (field != QLatin1String("Notes"))
                QVERIFY2(rules.contains(card->box(field)->geometry().bottom() + 3), qPrintable(field));
        QCOMPARE(card->notesBox->size(), QSize(210, 152));
        QVERIFY(card->DBEdit12->font().underline());
        QCOMPARE(card->DBEdit12->cursor().shape(), Qt::PointingHandCursor);
    }

    // Without a mouse: the last box passes Tab on to the six commands, each answers its Alt-key, and PageUp,
    // PageDown and Escape act as Back, Next and Close.
    void keyboard()
    {
        QVERIFY(activate(card.get()));
        card->box(QStringLiteral("Workplace"))->setFocus();
        QTest::keyClick(card->box(QStringLiteral("Workplace")), Qt::Key_Tab);
        QStringList chain;
        for (int i = 0; i < 6; ++i) {
            chain << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(chain, (QStringList{"Panel5", "Panel7", "Panel8", "Panel9", "Panel4", "Panel6"}));
        QCOMPARE(QApplication::focusWidget(), card->box(QStringLiteral("Firstname")));
        QCOMPARE(f.q().currentRow(), 0);
        QTest::keyClick(card->box(QStringLiteral("Firstname")), Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(f.q().currentRow(), 1); // an Alt-key clicks its button as a press shown briefly
        QTest::keyClick(card->box(QStringLiteral("Firstname")), Qt::Key_PageDown);
        QCOMPARE(f.q().currentRow(), 2);
        QTest::keyClick(card->box(QStringLiteral("Firstname")), Qt::Key_PageUp);
        QCOMPARE(f.q().currentRow(), 1);
        QTest::keyClick(card->box(QStringLiteral("Firstname")), Qt::Key_B, Qt::AltModifier);
        QTRY_COMPARE(f.q().currentRow(), 0);
        QTest::keyClick(card->box(QStringLiteral("Surname")), Qt::Key_Escape);
        QVERIFY(!card->isVisible());
    }

    // Stepping on the card moves the one current row that the grid shows, and the other way round.
    void backAndNextShareTheCurrentRow()
    {
        QCOMPARE(shown(QStringLiteral("Surname")), QStringLiteral("Adams"));
        click(card->Panel5); // on the first row: nothing moves, nothing is said
        QCOMPARE(f.q().currentRow(), 0);
        click(card->Panel4);
        QCOMPARE(f.q().currentRow(), 1);
        QCOMPARE(shown(QStringLiteral("Town")), QStringLiteral("Leeds"));
        click(card->Panel4);
        click(card->Panel4); // on the last row
        QCOMPARE(f.q().currentRow(), 2);
        f.q().moveTo(0); // as a click in the grid does
        QCOMPARE(shown(QStringLiteral("Surname")), QStringLiteral("Adams"));
        QVERIFY(f.fakes.prompts->asked.isEmpty());
    }

    void typingThenNextSavesFirst()
    {
        QTest::keyClicks(card->box(QStringLiteral("Town")), QStringLiteral("ford"));
        click(card->Panel4);
        QCOMPARE(f.stored(QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Adams'")),
                 QStringList{QStringLiteral("Bathford")});
        QCOMPARE(f.fakes.sound->files, QStringList{QStringLiteral("post.wav")});
    }

    void newRecord()
    {
        f.q().moveTo(1);
        click(card->Panel7);
        QCOMPARE(f.q().state(), data::Dataset::State::Insert);
        QCOMPARE(f.q().currentRow(), 1); // before the row that was current
        QCOMPARE(f.q().text(2, QStringLiteral("Surname")), QStringLiteral("Brown"));
        QCOMPARE(shown(QStringLiteral("Surname")), QString());
        QCOMPARE(shown(QStringLiteral("Town")), QString());
        // Left without typing: dropped, nothing stored.
        click(card->Panel4);
        QCOMPARE(f.q().recordCount(), 3);
        QCOMPARE(storedCount(), 3);
        // Closed without typing: an empty contact is stored.
        card->show();
        click(card->Panel7);
        click(card->Panel6);
        QCOMPARE(storedCount(), 4);
        QVERIFY(!card->isVisible());
    }

    // A new contact is typed from the first field, wherever the caret was, by the button or by its Alt-key.
    void newRecordStartsAtTheFirstField_data()
    {
        QTest::addColumn<QString>("caretIn");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("from the notes, clicked") << QStringLiteral("Notes") << false;
        QTest::newRow("from Work place, Alt+N") << QStringLiteral("Workplace") << true;
    }
    void newRecordStartsAtTheFirstField()
    {
        QFETCH(QString, caretIn);
        QFETCH(bool, byKey);
        QVERIFY(activate(card.get()));
        QWidget* from = caretIn == QLatin1String("Notes") ? static_cast<QWidget*>(card->notesBox) : card->box(caretIn);
        from->setFocus();
        if (byKey)
            QTest::keyClick(from, Qt::Key_N, Qt::AltModifier);
        else
            click(card->Panel7);
        QTRY_COMPARE(f.q().state(), data::Dataset::State::Insert);
        QCOMPARE(QApplication::focusWidget(), card->box(QStringLiteral("Firstname")));
    }

    void deleteRecord_data()
    {
        QTest::addColumn<platform::Answer>("answer");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("OK") << platform::Answer::Ok << 2;
        QTest::newRow("Cancel or the box closed") << platform::Answer::Cancel << 3;
    }
    void deleteRecord()
    {
        QFETCH(platform::Answer, answer);
        QFETCH(int, rowsLeft);
        f.q().moveTo(1);
        f.fakes.prompts->answers << answer;
        click(card->Panel8);
        QCOMPARE(f.fakes.prompts->asked.size(), 1);
        const platform::PromptRecord& asked = f.fakes.prompts->asked.first();
        QCOMPARE(asked.caption, QStringLiteral("Confirm"));
        QCOMPARE(asked.text, QStringLiteral("Delete Brown?"));
        QCOMPARE(asked.icon, platform::Icon::Question);
        QCOMPARE(asked.buttons, platform::Buttons::OkCancel);
        QCOMPARE(storedCount(), rowsLeft);
        QCOMPARE(shown(QStringLiteral("Surname")), rowsLeft == 2 ? QStringLiteral("Clark") : QStringLiteral("Brown"));
    }

    void deleteOnEmptySelection()
    {
        reopenWith(QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE 'Q%'"));
        click(card->Panel8);
        QCOMPARE(f.errors(),
                 QStringList{QStringLiteral("HomeQuery: Cannot perform this operation on an empty dataset.")});
    }

    void cancelRestoresTheRow()
    {
        card->show();
        QTest::keyClicks(card->box(QStringLiteral("Town")), QStringLiteral("ford"));
        click(card->Panel9);
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
        QCOMPARE(shown(QStringLiteral("Town")), QStringLiteral("Bath"));
        QVERIFY(card->isVisible());
    }

    // "Close": edit, the "RestoreUp" sound, save (with the post sound) and close, in this order; an unchanged row
    // is saved again.
    void closeSavesInOrder()
    {
        auto sound = std::make_unique<OrderedSound>();
        OrderedSound* played = sound.get();
        platform::services().sound = std::move(sound);
        card->show();
        click(card->Panel6);
        QCOMPARE(played->played, (QStringList{"event:RestoreUp", "file:post.wav"}));
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
        QVERIFY(!card->isVisible());
        QVERIFY(f.errors().isEmpty());
    }

    // A save that fails leaves the card open with the row still in editing; the "RestoreUp" sound has started.
    void failedSaveKeepsTheCardOpen()
    {
        card->show();
        QTest::keyClicks(card->box(QStringLiteral("Town")), QStringLiteral("ford"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(f.dbPath()).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "DELETE FROM HomeAd WHERE Surname='Adams'", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        click(card->Panel6);
        QCOMPARE(f.errors().size(), 1);
        QVERIFY2(f.errors().first().startsWith(QStringLiteral("HomeQuery: The row of ")) &&
                     f.errors().first().contains(QStringLiteral("Adams cannot be found for updating")),
                 qPrintable(f.errors().first()));
        QVERIFY(card->isVisible());
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(shown(QStringLiteral("Town")), QStringLiteral("Bathford"));
        QCOMPARE(f.fakes.sound->events, QStringList{QStringLiteral("RestoreUp")});
        QVERIFY(!QFile::exists(f.iniPath()));
    }

    void closeOnEmptySelectionStoresOneContact()
    {
        reopenWith(QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE 'Q%'"));
        card->show();
        click(card->Panel6);
        QCOMPARE(storedCount(), 4);
        QCOMPARE(f.stored(QStringLiteral("SELECT count(*) FROM HomeAd WHERE Surname IS NULL")), QStringList{"1"});
        QVERIFY(!card->isVisible());
    }

    void refusedBirthdayKeepsTheCardOpen()
    {
        QVERIFY(activate(card.get()));
        QTest::keyClicks(card->box(QStringLiteral("Town")), QStringLiteral("ford"));
        QTest::keyClicks(card->box(QStringLiteral("Birthday")), QStringLiteral("soon"));
        click(card->Panel6);
        QCOMPARE(f.errors(), QStringList{QStringLiteral("'soon' is not a valid date.")});
        QVERIFY(card->isVisible());
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(shown(QStringLiteral("Town")), QStringLiteral("Bathford"));
        QCOMPARE(shown(QStringLiteral("Birthday")), QStringLiteral("soon"));
        QVERIFY(f.fakes.sound->events.isEmpty());
        click(card->Panel4); // nor may it be left
        QCOMPARE(f.q().currentRow(), 0);
        QCOMPARE(f.errors().size(), 2);
    }

    void closedQuery_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<bool>("fails");
        QTest::newRow("<< Back") << QStringLiteral("Panel5") << true;
        QTest::newRow("Next >>") << QStringLiteral("Panel4") << true;
        QTest::newRow("+ New Record") << QStringLiteral("Panel7") << true;
        QTest::newRow("- Delete Record") << QStringLiteral("Panel8") << true;
        QTest::newRow("Close") << QStringLiteral("Panel6") << true;
        QTest::newRow("Cancel") << QStringLiteral("Panel9") << false;
    }
    void closedQuery()
    {
        QFETCH(QString, panel);
        QFETCH(bool, fails);
        f.q().close();
        card->show();
        click(card->findChild<RecCardPanel*>(panel));
        QCOMPARE(f.errors(), fails ? QStringList{ClosedError} : QStringList());
        QVERIFY(card->isVisible());
        QVERIFY(f.fakes.sound->events.isEmpty());
    }

    // Without a mail program the address goes to the clipboard and a box says so; with one, nothing is said.
    void emailDoubleClick_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("mailProgram");
        QTest::addColumn<QString>("box");
        QTest::newRow("typed, not saved") << QStringLiteral("ann@example.org") << true << QString();
        QTest::newRow("empty") << QString() << true << QString();
        QTest::newRow("no mail program")
            << QStringLiteral("ann@example.org") << false
            << QStringLiteral("No mail program could be started for ann@example.org. The address has been copied to "
                              "the clipboard.");
        QTest::newRow("no mail program, empty") << QString() << false
                                                << QStringLiteral("No mail program could be started.");
    }
    void emailDoubleClick()
    {
        QFETCH(QString, typed);
        QFETCH(bool, mailProgram);
        QFETCH(QString, box);
        f.fakes.shell->handled = mailProgram;
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClicks(card->DBEdit12, typed);
        const auto stateBefore = f.q().state();
        QTest::mouseDClick(card->DBEdit12, Qt::LeftButton);
        QCOMPARE(f.fakes.shell->opened, QStringList{QStringLiteral("mailto:") + typed});
        QCOMPARE(f.q().state(), stateBefore);
        QCOMPARE(storedCount(), 3);
        if (box.isEmpty()) {
            QVERIFY(f.fakes.prompts->asked.isEmpty());
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
            return;
        }
        QCOMPARE(f.fakes.prompts->asked.size(), 1);
        QCOMPARE(f.fakes.prompts->asked[0].caption, QStringLiteral("Information"));
        QCOMPARE(f.fakes.prompts->asked[0].icon, platform::Icon::Information);
        QCOMPARE(f.fakes.prompts->asked[0].buttons, platform::Buttons::Ok);
        QCOMPARE(f.fakes.prompts->asked[0].text, box);
        QCOMPARE(QGuiApplication::clipboard()->text(), typed.isEmpty() ? QStringLiteral("before") : typed);
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QPoint>("shownAt");
        const QPoint first(354, 320);
        QTest::newRow("no file") << QByteArray() << first;
        QTest::newRow("status 0") << QByteArray("[FormView]\nStatus=0\n[RecCard]\nTop=100\nLeft=200\n") << first;
        QTest::newRow("status 1") << QByteArray("[FormView]\nStatus=1\n[RecCard]\nTop=100\nLeft=200\n")
                                  << QPoint(200, 100);
        QTest::newRow("status 2, only the form view's place saved")
            << QByteArray("[FormView]\nStatus=2\nTop=5\nLeft=6\n") << first;
        QTest::newRow("status 3 from a hand-edited file")
            << QByteArray("[FormView]\nStatus=3\n[RecCard]\nTop=50\nLeft=60\n") << QPoint(60, 50);
        QTest::newRow("not a number") << QByteArray("[FormView]\nStatus=1\n[RecCard]\nTop=1e2\nLeft=70\n")
                                      << QPoint(70, 320);
    }
    void settings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QPoint, shownAt);
        if (!ini.isEmpty())
            f.writeIni(ini);
        card->show();
        QCOMPARE(card->pos(), shownAt);
        QCOMPARE(f.iniText(), ini); // showing writes nothing
        card->move(30, 40);
        card->close();
        IniFile file(f.iniPath());
        QCOMPARE(file.readInteger(QStringLiteral("RecCard"), QStringLiteral("Top"), -1), 40);
        QCOMPARE(file.readInteger(QStringLiteral("RecCard"), QStringLiteral("Left"), -1), 30);
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), -1), 2); // not active
        QCOMPARE(file.readInteger(QStringLiteral("RecCard"), QStringLiteral("Width"), -1), -1);  // no size
    }

    void closingWhileActiveWritesOne()
    {
        QVERIFY(activate(card.get()));
        card->close();
        QCOMPARE(IniFile(f.iniPath()).readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), -1), 1);
    }

    void minimisedKeepsTheSavedPlace()
    {
        f.writeIni("[FormView]\nStatus=1\n[RecCard]\nTop=100\nLeft=200\n");
        card->show();
        card->setWindowState(Qt::WindowMinimized);
        card->move(1, 1);
        card->close();
        IniFile file(f.iniPath());
        QCOMPARE(file.readInteger(QStringLiteral("RecCard"), QStringLiteral("Top"), -1), 100);
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), -1), 2);
    }

    void unwritableSettingsStillClose()
    {
        QVERIFY(QDir(f.dir->path()).mkdir(QStringLiteral("TovrelIni.ini"))); // a folder in the way
        card->show();
        card->close();
        QVERIFY(!card->isVisible());
        QCOMPARE(f.errors().size(), 1);
        QVERIFY(f.errors().first().startsWith(QStringLiteral("Unable to write to ")));
    }

    // A card still open when the program ends saves nothing, whether it is closed on the way out or just destroyed.
    void stillOpenAtTheEndWritesNothing()
    {
        auto main = std::make_unique<QWidget>(); // the card's owner, as the main window is
        card = std::make_unique<TfmRecCard>(f.q(), main.get());
        main->show();
        card->show();
        main->hide(); // the main window has closed
        card->close();
        card->show();
        card.reset();
        main.reset();
        f.store.reset();
        QVERIFY(!QFile::exists(f.iniPath()));
    }
};

QTEST_MAIN(TestRecordCard)
#include "tst_recordcard.moc"
