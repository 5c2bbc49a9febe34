// The main window's settings file, its County pick list file, the hints and the date in its status bar.
#include "MainWindowFixture.h"
#include "support/FailingWrite.h"

#include "mainwindow/MainWindowHints.h"
#include "platform/IniFile.h"
#include "data/widgets/DBNavigator.h"

#include <QDir>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

class TestMainWindowSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFixture> m_p;
    ProgramFixture& p() { return *m_p; }
    TfmHomeAddMain* w() { return m_p->w; }

    QString iniPath() { return p().file(QStringLiteral("TovrelIni.ini")); }
    int ini(const QString& section, const QString& key) { return IniFile(iniPath()).readInteger(section, key, -999); }

    static void enter(QWidget* widget)
    {
        QEnterEvent e(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(widget, &e);
    }
    static void leave(QWidget* widget)
    {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(widget, &e);
    }

private slots:
    void init() { m_p = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_p.reset(); }

    void firstStartWithoutTheFile()
    {
        p().start();
        QVERIFY(p().errors().isEmpty());
        QCOMPARE(w()->dbGrid1->columnWidth(0), 76);
        QVERIFY(w()->dbGrid1->columnWidth(8) > 92);
        QVERIFY(!QFile::exists(iniPath()));
    }

    void restoresWhatWasSaved()
    {
        p().writeFile(QStringLiteral("TovrelIni.ini"), "[mainform]\r\nstatus=2\r\nTop=10\r\nLeft=30\r\nWidth=760\r\n"
                                                       "Height=580\r\n[DBGrid]\r\nWSurname=150\r\nWPCode=12px\r\n"
                                                       "WCountry=33\r\nWTel=44\r\n[Other]\r\nKeep=1\r\n");
        p().start();
        // Inside the smallest screen and above the window's minimum whatever the font: the frame's corner and the
        // client area's size.
        QCOMPARE(w()->frameGeometry().topLeft(), QPoint(30, 10));
        QCOMPARE(w()->size(), QSize(760, 580));
        QCOMPARE(w()->dbGrid1->columnWidth(0), 150);
        QCOMPARE(w()->dbGrid1->columnWidth(1), 103); // missing: the layout's width
        QVERIFY(w()->dbGrid1->columnWidth(7) > 12);  // not a number: the layout's width
        QCOMPARE(w()->dbGrid1->columnWidth(8), 33);  // Tel is kept under WCountry
        QCOMPARE(w()->dbGrid1->columnWidth(9), 44);  // Cell under WTel
    }

    void statusZeroKeepsThePlaceButNotTheWidths()
    {
        p().writeFile(QStringLiteral("TovrelIni.ini"), "[MainForm]\r\nStatus=0\r\nTop=120\r\nLeft=130\r\nWidth=300\r\n"
                                                       "[DBGrid]\r\nWTown=61\r\n");
        p().start();
        QVERIFY(w()->frameGeometry().width() != 300);
        QCOMPARE(w()->dbGrid1->columnWidth(5), 61);
    }

    void savesOnClosing_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<int>("status");
        QTest::newRow("active, normal") << true << false << 1;
        QTest::newRow("not active") << false << false << 2;
        QTest::newRow("active, maximised") << true << true << 3;
        QTest::newRow("not active, maximised") << false << true << 2;
    }
    void savesOnClosing()
    {
        QFETCH(bool, active);
        QFETCH(bool, maximised);
        QFETCH(int, status);
        p().writeFile(QStringLiteral("TovrelIni.ini"),
                      "; written by hand\r\n[Other]\r\nKeep=5\r\n[MainForm]\r\nTop=7\r\n");
        p().start();
        w()->setGeometry(40, 50, 700, 400);
        w()->dbGrid1->setColumnWidth(8, 55);
        w()->dbGrid1->setColumnWidth(9, 66);
        if (maximised)
            w()->showMaximized();
        QWidget other;
        if (active) {
            p().activate();
        } else {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QVERIFY(w()->close());
        QCOMPARE(ini("MainForm", "Status"), status);
        if (maximised) {
            QCOMPARE(ini("MainForm", "Top"), 7); // the last normal closing's
            QCOMPARE(ini("MainForm", "Width"), -999);
        } else {
            QCOMPARE(ini("MainForm", "Top"), w()->frameGeometry().top());
            QCOMPARE(ini("MainForm", "Left"), w()->frameGeometry().left());
            QCOMPARE(ini("MainForm", "Width"), w()->width());
            QCOMPARE(ini("MainForm", "Height"), w()->height());
        }
        QCOMPARE(ini("DBGrid", "WSurname"), 76);
        QCOMPARE(ini("DBGrid", "WCountry"), 55);
        QCOMPARE(ini("DBGrid", "WTel"), 66);
        QCOMPARE(ini("Other", "Keep"), 5);
        QVERIFY(p().errors().isEmpty());
    }

    void unwritableFileIsReportedOnceAndTheWindowCloses()
    {
        p().start();
        QVERIFY(QDir(p().dir.path()).mkdir(QStringLiteral("TovrelIni.ini"))); // a folder in the way of the file
        QVERIFY(w()->close());
        QVERIFY(!w()->isVisible());
        QCOMPARE(p().errors().size(), 1);
        QVERIFY2(testsupport::reportsFailure(p().errors().constFirst(), QStringLiteral("Unable to write to %1").arg(iniPath())),
                 qPrintable(p().errors().constFirst()));
    }

    void countyPickListComesFromTheListFile()
    {
        p().start(testsupport::sampleContacts(), QByteArray("Kent\nAvon\r\n\r\nKent\r  Dorset \r\n"));
        QCOMPARE(w()->countyPickList(), QStringList({"Kent", "Avon", "", "Kent", "  Dorset "}));
    }

    void missingListFileIsReportedAfterTheRestOfTheShowing()
    {
        p().writeFile(QStringLiteral("TovrelIni.ini"), "[DBGrid]\r\nWTown=61\r\n");
        p().start(testsupport::sampleContacts(), QByteArray());
        QCOMPARE(p().errors(),
                 QStringList{QStringLiteral("Cannot open file %1.").arg(p().file(QStringLiteral("ListFile.txt")))});
        QVERIFY(w()->countyPickList().isEmpty());
        QCOMPARE(w()->dbGrid1->columnWidth(5), 61);
        QCOMPARE(p().q().recordCount(), 6); // start-up went on
    }

    void hintOfTheControlUnderTheMouse()
    {
        p().start();
        QRadioButton* c = w()->RadioGroup1->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_C"));
        enter(w()->RadioGroup1);
        enter(c); // no hint of its own: the group's
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Select by 1st letter of surname"));
        QVERIFY(c->toolTip().isEmpty());
        leave(c);
        enter(w()->BitBtn3);
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Insert new record into table"));
        leave(w()->BitBtn3);
        QCOMPARE(w()->statusPanelText(0), QString()); // the panel under it has none
        enter(w()->DBNavigator1->button(data::DBNavigator::Post));
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Post edit"));
        QCOMPARE(w()->DBNavigator1->button(data::DBNavigator::Post)->toolTip(), QStringLiteral("Post edit"));
        leave(w()->DBNavigator1->button(data::DBNavigator::Post));
        leave(w()->DBNavigator1);
        leave(w());
        QCOMPARE(w()->statusPanelText(0), QString());
    }

    void hintsFromAnyWindow()
    {
        p().start();
        QWidget other;
        auto* box = new QWidget(&other);
        mainwindow::HintRouter::setHint(box, QStringLiteral("Open|Opens an existing file"));
        auto* inner = new QPushButton(box);
        auto* quiet = new QWidget(&other);
        quiet->setStatusTip(QStringLiteral("Status bar only"));
        other.show();
        enter(&other);
        enter(box);
        enter(inner);
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Opens an existing file"));
        QCOMPARE(box->toolTip(), QStringLiteral("Open"));
        leave(inner);
        leave(box);
        enter(quiet);
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Status bar only"));
        QVERIFY(quiet->toolTip().isEmpty());
    }

    void highlightedMenuItemShowsItsHint()
    {
        p().start();
        w()->mnAddressLabels->popup(QPoint(10, 10));
        w()->mnAddressLabels->setActiveAction(w()->miLabels16);
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Avery L7162"));
        w()->mnAddressLabels->setActiveAction(w()->miLabels14);
        QCOMPARE(w()->statusPanelText(0), QString());
        w()->mnAddressLabels->setActiveAction(w()->miLabels21);
        QCOMPARE(w()->statusPanelText(0), QStringLiteral("Avery L7160"));
        w()->mnAddressLabels->hide();
        QCOMPARE(w()->statusPanelText(0), QString());
    }

    void todayEachTimeTheWindowBecomesActive()
    {
        p().start();
        p().activate();
        const auto today = [](QDate d) { return "Today : " + QLocale::system().toString(d, QLocale::ShortFormat); };
        QCOMPARE(w()->statusPanelText(1), today(QDate(2026, 12, 10)));
        p().fakes.clock->current = QDateTime(QDate(2027, 1, 2), QTime(0, 5));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(w()->statusPanelText(1), today(QDate(2026, 12, 10)));
        p().activate();
        QCOMPARE(w()->statusPanelText(1), today(QDate(2027, 1, 2)));
    }
};

QTEST_MAIN(TestMainWindowSettings)
#include "tst_mainwindow_settings.moc"
