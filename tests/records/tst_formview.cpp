#include "RecordsFixture.h"

#include "data/widgets/DBEdit.h"
#include "data/widgets/DBMemo.h"
#include "platform/IniFile.h"
#include "records/CountyListEditor.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

using Nav = data::DBNavigator;

namespace {
QString usable(const Nav& nav)
{
    QStringList on;
    for (Nav::Button b : nav.visibleButtons())
        if (nav.button(b)->isEnabled())
            on << QString::fromLatin1(QMetaEnum::fromType<Nav::Button>().valueToKey(b));
    return on.join(QLatin1Char(' '));
}
} // namespace

class TestFormView : public QObject
{
    Q_OBJECT

    RecordsFixture f;
    std::unique_ptr<TfmHomeForm> form;

    void click(Nav::Button b) { QTest::mouseClick(form->DBNavigator1->button(b), Qt::LeftButton); }
    int storedCount() const { return f.stored(QStringLiteral("SELECT count(*) FROM HomeAd")).value(0).toInt(); }

private slots:
    void init()
    {
        f.start({contact(QStringLiteral("Adams"), QStringLiteral("Bath")),
                 contact(QStringLiteral("Brown"), QStringLiteral("Leeds")),
                 contact(QStringLiteral("Clark"), QStringLiteral("York"))});
        form = std::make_unique<TfmHomeForm>(f.q());
    }
    void cleanup()
    {
        form.reset();
        f.stop();
    }

    void window()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("Tovrel: Form View"));
        QCOMPARE(form->size(), QSize(329, 383));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->palette().color(QPalette::Window), QColor(192, 220, 192));
        QCOMPARE(form->PageControl1->tabText(0), QStringLiteral("Name Address Phones"));
        QCOMPARE(form->PageControl1->tabText(1), QStringLiteral("More Info"));
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("&Close"));
        QCOMPARE(form->notesBox->size(), QSize(228, 104));
        QCOMPARE(form->box(QStringLiteral("Country"))->text(), QString()); // there is a Country box
        QCOMPARE(form->box(QStringLiteral("Surname"))->text(), QStringLiteral("Adams"));
        QCOMPARE(form->box(QStringLiteral("Town"))->maxLength(), 20);
    }

    // As laid out: the name band, the pages, then the navigator and "&Close"; it opens in the first name box.
    void focusOrder()
    {
        QStringList chain;
        QWidget* start = form->box(QStringLiteral("Firstname"));
        QWidget* w = start;
        do {
            if (auto* edit = qobject_cast<data::DBEdit*>(w))
                chain << edit->dataField();
            else if (auto* memo = qobject_cast<data::DBMemo*>(w))
                chain << memo->dataField();
            else if (auto* button = qobject_cast<QAbstractButton*>(w);
                     button && !w->isHidden() &&
                     (w->parentWidget() == form.get() || w->parentWidget() == form->DBNavigator1))
                chain << button->objectName();
            w = w->nextInFocusChain();
        } while (w != start && chain.size() < 60);
        QCOMPARE(chain, (QStringList{"Firstname", "Midname",  "Surname",    "Address1", "Address2", "A3_Village",
                                     "Town",      "County",   "PostCode",   "Country",  "Tel",      "Cell",
                                     "Email",     "Notes",    "Birthday",   "Workplace", "Work Tel", "Flag",
                                     "Flag2",     "First",    "Prior",      "Next",     "Last",     "Insert",
                                     "Delete",    "Edit",     "Post",       "Cancel",   "BitBtn1"}));
        QCOMPARE(form->focusWidget(), form->box(QStringLiteral("Firstname")));
    }

    // Tooltips only where named; every hint also reaches the status bar.
    void hints()
    {
        QMap<QString, QString> tips;
        for (QWidget* w : form->findChildren<QWidget*>())
            if (!w->toolTip().isEmpty() && !w->isHidden()) // a navigator button not shown has no hint to give
                tips.insert(w->objectName(), w->toolTip());
        QCOMPARE(tips, (QMap<QString, QString>{{"editSurname", "You must complete this field"},
                                               {"editFlag", "Use to select records for lists etc."},
                                               {"First", "First record"},
                                               {"Prior", "Prior record"},
                                               {"Next", "Next record"},
                                               {"Last", "Last record"},
                                               {"Insert", "Insert record"},
                                               {"Delete", "Delete record"},
                                               {"Edit", "Edit record"},
                                               {"Post", "Post edit"},
                                               {"Cancel", "Cancel edit"}}));
        QCOMPARE(form->villageLabel->text(), QStringLiteral("Village"));
        QCOMPARE(form->villageLabel->statusTip(), QStringLiteral("Suburb, ward, extra address line"));
        QCOMPARE(form->box(QStringLiteral("Surname"))->statusTip(), QStringLiteral("You must complete this field"));
    }

    void firstPageWheneverActivated()
    {
        QVERIFY(activate(form.get()));
        form->PageControl1->setCurrentIndex(1);
        QWidget other;
        QVERIFY(activate(&other));
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        QVERIFY(activate(form.get()));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
    }

    void navigatorUsability_data()
    {
        QTest::addColumn<int>("scenario");
        QTest::addColumn<QString>("usable");
        QTest::newRow("just opened") << 0 << "Next Last Insert Delete Edit";
        QTest::newRow("after Last") << 1 << "First Prior Insert Delete Edit";
        QTest::newRow("after a Next that found no further row") << 2 << "First Prior Insert Delete Edit";
        QTest::newRow("after a Prior that found no earlier row") << 3 << "Next Last Insert Delete Edit";
        QTest::newRow("stepped back from the end") << 4 << "First Prior Next Last Insert Delete Edit";
        QTest::newRow("typing") << 5 << "Next Last Insert Delete Post Cancel";
        QTest::newRow("empty selection") << 6 << "Insert Edit";
        QTest::newRow("query closed") << 7 << "";
    }
    void navigatorUsability()
    {
        QFETCH(int, scenario);
        QFETCH(QString, usable);
        switch (scenario) {
        case 1:
            click(Nav::Last);
            break;
        case 2:
            f.q().moveTo(1);
            click(Nav::Next);
            click(Nav::Next);
            break;
        case 3:
            f.q().moveTo(1);
            click(Nav::Prior);
            click(Nav::Prior);
            break;
        case 4:
            click(Nav::Last);
            click(Nav::Prior);
            break;
        case 5:
            QTest::keyClicks(form->box(QStringLiteral("Town")), QStringLiteral("x"));
            break;
        case 6:
            f.q().close();
            f.q().setSql({QStringLiteral("SELECT * FROM HomeAd WHERE Surname LIKE 'Q%'")});
            f.q().open();
            break;
        case 7:
            f.q().close();
            break;
        }
        QCOMPARE(::usable(*form->DBNavigator1), usable);
        QVERIFY(f.errors().isEmpty());
    }

    void navigatorActions()
    {
        click(Nav::Next);
        QCOMPARE(form->box(QStringLiteral("Surname"))->text(), QStringLiteral("Brown"));
        click(Nav::Insert);
        QCOMPARE(f.q().state(), data::Dataset::State::Insert);
        QCOMPARE(f.q().currentRow(), 1);
        QTest::keyClicks(form->box(QStringLiteral("Surname")), QStringLiteral("Baker"));
        click(Nav::Post);
        QCOMPARE(f.fakes.sound->files, QStringList{QStringLiteral("post.wav")});
        QCOMPARE(storedCount(), 4);
        click(Nav::Edit);
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QTest::keyClicks(form->box(QStringLiteral("Town")), QStringLiteral("Hull"));
        click(Nav::Cancel);
        QCOMPARE(form->box(QStringLiteral("Town"))->text(), QString());
        click(Nav::First);
        QCOMPARE(f.q().currentRow(), 0);
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<platform::Answer>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("OK") << platform::Answer::Ok << 2;
        QTest::newRow("Cancel or the box closed") << platform::Answer::Cancel << 3;
    }
    void deleteAsksFirst()
    {
        QFETCH(platform::Answer, answer);
        QFETCH(int, left);
        f.fakes.prompts->answers << answer;
        click(Nav::Delete);
        QCOMPARE(f.fakes.prompts->asked.size(), 1);
        QCOMPARE(f.fakes.prompts->asked.first().text, QStringLiteral("Delete Adams?"));
        QCOMPARE(f.fakes.prompts->asked.first().buttons, platform::Buttons::OkCancel);
        QCOMPARE(storedCount(), left);
    }

    // "&Close" saves a change as a move would: nothing typed is lost with the window.
    void closeSavesTheEdit()
    {
        form->show();
        QTest::keyClicks(form->box(QStringLiteral("Town")), QStringLiteral("ford"));
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
        QCOMPARE(f.stored(QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Adams'")), QStringList{"Bathford"});
    }

    // A birthday that is not a date is refused on saving; its page comes to the front with the text kept.
    void refusedBirthdayOnPost()
    {
        QVERIFY(activate(form.get()));
        QTest::keyClicks(form->box(QStringLiteral("Town")), QStringLiteral("ford"));
        form->PageControl1->setCurrentIndex(1);
        data::DBEdit* birthday = form->box(QStringLiteral("Birthday"));
        birthday->setFocus();
        QTest::keyClicks(birthday, QStringLiteral("32/1/1990"));
        form->PageControl1->setCurrentIndex(0);
        f.fakes.prompts->asked.clear();
        click(Nav::Post);
        QCOMPARE(f.errors(), QStringList{QStringLiteral("'32/1/1990' is not a valid date.")});
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        QVERIFY(birthday->hasFocus());
        QCOMPARE(birthday->text(), QStringLiteral("32/1/1990"));
        QCOMPARE(f.q().state(), data::Dataset::State::Edit);
        QCOMPARE(f.q().currentText(QStringLiteral("Town")), QStringLiteral("Bathford"));
        QCOMPARE(f.stored(QStringLiteral("SELECT Town FROM HomeAd WHERE Surname='Adams'")), QStringList{"Bath"});
        // Cancel gives it up.
        click(Nav::Cancel);
        QCOMPARE(birthday->text(), QString());
        QCOMPARE(f.q().state(), data::Dataset::State::Browse);
    }

    void settingsOnShow_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QPoint>("place"); // (-1, -1): where the system puts it
        QTest::addColumn<bool>("maximised");
        QTest::newRow("no file") << QByteArray() << QPoint(-1, -1) << false;
        QTest::newRow("status 0") << QByteArray("[FormView]\nStatus=0\nTop=100\nLeft=200\n") << QPoint(-1, -1) << false;
        QTest::newRow("status 1") << QByteArray("[FormView]\nStatus=1\nTop=100\nLeft=200\nWidth=329\nHeight=383\n")
                                  << QPoint(200, 100) << false;
        QTest::newRow("status 2 written by the card, no place of its own")
            << QByteArray("[FormView]\nStatus=2\n[RecCard]\nTop=1\nLeft=2\n") << QPoint(-1, -1) << false;
        QTest::newRow("status 3 edited in by hand")
            << QByteArray("[FormView]\nStatus=3\nTop=100\nLeft=200\n") << QPoint(200, 100) << true;
    }
    void settingsOnShow()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QPoint, place);
        QFETCH(bool, maximised);
        if (!ini.isEmpty())
            f.writeIni(ini);
        const QPoint before = form->pos();
        form->show();
        QCOMPARE(form->pos(), place == QPoint(-1, -1) ? before : place);
        QCOMPARE(bool(form->windowState() & Qt::WindowMaximized), maximised);
        QCOMPARE(f.iniText(), ini);
    }

    void settingsOnClose_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<int>("status");
        QTest::newRow("active") << true << false << 1;
        QTest::newRow("not active") << false << false << 2;
        QTest::newRow("maximised: no place written") << true << true << 1;
    }
    void settingsOnClose()
    {
        QFETCH(bool, active);
        QFETCH(bool, maximised);
        QFETCH(int, status);
        f.writeIni(maximised ? "[FormView]\nStatus=3\nTop=7\nLeft=8\n" : "");
        form->show();
        if (active)
            QVERIFY(activate(form.get()));
        if (!maximised)
            form->move(30, 40);
        form->close();
        IniFile file(f.iniPath());
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), -1), status);
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Top"), -1), maximised ? 7 : 40);
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Left"), -1), maximised ? 8 : 30);
        // The frame's corner and the client area's size.
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Width"), -1), maximised ? -1 : 329);
        QCOMPARE(file.readInteger(QStringLiteral("FormView"), QStringLiteral("Height"), -1), maximised ? -1 : 383);
        // Shown again it comes back where it was closed, with its designed size.
        form->show();
        QCOMPARE(form->pos(), maximised ? form->pos() : QPoint(30, 40));
        QCOMPARE(form->size(), QSize(329, 383));
    }

    // The card and the form view keep one Status between them.
    void cardClosingReplacesAHandEditedThree()
    {
        f.writeIni("[FormView]\nStatus=3\n");
        TfmRecCard card(f.q());
        card.show();
        card.close();
        QCOMPARE(IniFile(f.iniPath()).readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), -1), 2);
    }

    void stillOpenAtTheEndWritesNothing()
    {
        auto main = std::make_unique<QWidget>(); // the form's owner, as the main window is
        form = std::make_unique<TfmHomeForm>(f.q(), main.get());
        main->show();
        form->show();
        main->hide(); // the main window has closed
        form->close();
        form->show();
        form.reset();
        main.reset();
        f.store.reset();
        QVERIFY(!QFile::exists(f.iniPath()));
    }
};

QTEST_MAIN(TestFormView)
#include "tst_formview.moc"
