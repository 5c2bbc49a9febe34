// Windows that keep their place: a saved place brought onto the screens, the frame's corner and the client area's
// size saved and restored alike, and the main window, the record card and the form view over start/close cycles.
#include "app/Application.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/ContactGrid.h"
#include "platform/IniFile.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "platform/ui/ScreenPlace.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "support/TestDb.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <climits>
#include <memory>

using platform::ScreenPlace;

Q_DECLARE_METATYPE(QMargins)

class TestWindowPlace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("TovrelIni.ini")); }
    void writeIni(const QByteArray& text) const
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QList<int> saved(const QString& section, const QStringList& keys) const
    {
        IniFile ini(iniPath());
        QList<int> values;
        for (const QString& key : keys)
            values << ini.readInteger(section, key, INT_MIN);
        return values;
    }
    static QRect screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // One run of the program: started, the given windows shown and closed, the main window closed.
    void runOnce(bool card, bool form)
    {
        platform::installFakes();
        app::Application application;
        application.startUp();
        TfmHomeAddMain* main = application.fmHomeAddMain;
        QVERIFY(QTest::qWaitForWindowExposed(main));
        for (QWidget* window : {card ? static_cast<QWidget*>(application.fmRecCard) : nullptr,
                                form ? static_cast<QWidget*>(application.fmHomeForm) : nullptr}) {
            if (!window)
                continue;
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            window->close();
        }
        main->close();
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        testsupport::makeDatabase(m_dir.filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        testsupport::makeCountyList(m_dir.path());
        platform::setProgramFolder(m_dir.path());
    }
    void init() { QFile::remove(iniPath()); }

    void fitOnScreens_data()
    {
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QPoint>("corner");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QPoint>("fittedCorner");
        QTest::addColumn<QSize>("fittedClient");
        const QRect a(0, 0, 1280, 1024);
        const QRect b(1280, 0, 1920, 1080);
        const QMargins framed(1, 20, 1, 1);
        const QSize size(400, 300);
        QTest::newRow("on the screen") << QList{a} << framed << QPoint(100, 80) << size << QPoint(100, 80) << size;
        QTest::newRow("partly off, title bar in reach")
            << QList{a} << framed << QPoint(1200, 100) << size << QPoint(1200, 100) << size;
        QTest::newRow("title bar above the screen")
            << QList{a} << framed << QPoint(100, -20) << size << QPoint(100, 0) << size;
        QTest::newRow("too little of the title bar on the screen")
            << QList{a} << framed << QPoint(1250, 100) << size << QPoint(878, 100) << size;
        QTest::newRow("far beyond the top left corner")
            << QList{a} << framed << QPoint(INT_MIN, INT_MIN) << size << QPoint(0, 0) << size;
        QTest::newRow("far beyond the bottom right corner")
            << QList{a} << framed << QPoint(INT_MAX, INT_MAX) << size << QPoint(878, 703) << size;
        QTest::newRow("larger than the screen")
            << QList{a} << framed << QPoint(10, 10) << QSize(INT_MAX, INT_MAX) << QPoint(0, 0) << QSize(1278, 1003);
        QTest::newRow("smaller than the minimum")
            << QList{a} << framed << QPoint(100, 80) << QSize(1, 1) << QPoint(100, 80) << QSize(200, 150);
        QTest::newRow("on the second screen") << QList{a, b} << framed << QPoint(2000, 100) << size
                                              << QPoint(2000, 100) << size;
        QTest::newRow("above the second screen, onto it")
            << QList{a, b} << framed << QPoint(1500, -500) << size << QPoint(1500, 0) << size;
        QTest::newRow("below the shorter screen, onto it")
            << QList{a, b} << framed << QPoint(100, 1100) << size << QPoint(100, 703) << size;
        QTest::newRow("no frame: the window's top stands for the title bar")
            << QList{a} << QMargins() << QPoint(100, -5) << size << QPoint(100, 0) << size;
        QTest::newRow("no frame, on the screen")
            << QList{a} << QMargins() << QPoint(0, 0) << QSize(1280, 1024) << QPoint(0, 0) << QSize(1280, 1024);
    }
    void fitOnScreens()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(QMargins, frame);
        QFETCH(QPoint, corner);
        QFETCH(QSize, client);
        QFETCH(QPoint, fittedCorner);
        QFETCH(QSize, fittedClient);
        const ScreenPlace fitted = platform::fitOnScreens({corner, client}, frame, QSize(200, 150), screens);
        QCOMPARE(fitted.frame, fittedCorner);
        QCOMPARE(fitted.client, fittedClient);
    }

    // What is read back after showing is what was applied, framed or not, made already or not.
    void placeRoundTrips_data()
    {
        QTest::addColumn<bool>("frameless");
        QTest::newRow("with a frame") << false;
        QTest::newRow("without a frame") << true;
    }
    void placeRoundTrips()
    {
        QFETCH(bool, frameless);
        ScreenPlace place{QPoint(100, 80), QSize(300, 200)};
        QWidget window(nullptr, frameless ? Qt::Window | Qt::FramelessWindowHint : Qt::Window);
        for (int cycle = 0; cycle < 5; ++cycle) {
            platform::placeWindow(window, place);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.frameGeometry().topLeft(), place.frame);
            QCOMPARE(window.size(), place.client);
            QCOMPARE(window.geometry().topLeft() == place.frame, frameless);
            const ScreenPlace now = platform::screenPlaceOf(window);
            QCOMPARE(now.frame, place.frame);
            QCOMPARE(now.client, place.client);
            window.hide();
            place.frame += QPoint(7, 5);
        }
    }

    // Five starts and closes without touching the windows leave the saved places as they were.
    void placesStayOverFiveRuns()
    {
        writeIni("[MainForm]\nStatus=1\nTop=10\nLeft=30\nWidth=760\nHeight=580\n"
                 "[FormView]\nStatus=1\nTop=30\nLeft=300\nWidth=329\nHeight=383\n[RecCard]\nTop=50\nLeft=120\n");
        const QStringList placeKeys{"Top", "Left", "Width", "Height"};
        for (int run = 0; run < 5; ++run) {
            runOnce(true, true);
            QCOMPARE(saved(QStringLiteral("MainForm"), placeKeys), QList<int>({10, 30, 760, 580}));
            QCOMPARE(saved(QStringLiteral("FormView"), placeKeys), QList<int>({30, 300, 329, 383}));
            QCOMPARE(saved(QStringLiteral("RecCard"), {"Top", "Left"}), QList<int>({50, 120}));
        }
    }

    // A place edited by hand that leaves the window out of reach is brought onto the screen at start-up.
    void outOfReachComesBackOnTheScreen_data()
    {
        QTest::addColumn<QByteArray>("place");
        QTest::newRow("far above and to the left")
            << QByteArray("Top=-2147483648\nLeft=-2147483648\nWidth=500\nHeight=400\n");
        QTest::newRow("title bar above the screen") << QByteArray("Top=-20\nLeft=100\nWidth=500\nHeight=400\n");
        QTest::newRow("larger than the screen") << QByteArray("Top=10\nLeft=10\nWidth=2147483647\nHeight=2147483647\n");
        QTest::newRow("smaller than the window can be") << QByteArray("Top=10\nLeft=10\nWidth=1\nHeight=-5\n");
        QTest::newRow("beyond the bottom right")
            << QByteArray("Top=2147483647\nLeft=2147483647\nWidth=500\nHeight=400\n");
    }
    void outOfReachComesBackOnTheScreen()
    {
        QFETCH(QByteArray, place);
        writeIni("[MainForm]\nStatus=1\n" + place + "[FormView]\nStatus=1\n" + place +
                 "[RecCard]\n" + place);
        platform::installFakes();
        app::Application application;
        application.startUp();
        QList<QWidget*> windows{application.fmHomeAddMain, application.fmRecCard, application.fmHomeForm};
        for (QWidget* window : windows) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QRect outer = window->frameGeometry();
            QVERIFY2(screen().contains(outer.topLeft()), window->objectName().toLatin1());
            QVERIFY2(window->width() <= screen().width() && window->height() <= screen().height(),
                     window->objectName().toLatin1());
            QVERIFY(window->width() >= window->minimumSizeHint().width());
            QVERIFY(window->height() >= window->minimumSizeHint().height());
        }
    }

    // Closed with the focus left in the grid, as when the window manager gives it no other place: the program ends
    // without the focus change that the grid's own destruction causes reaching the half-destroyed grid.
    void endsWithTheFocusInTheGrid()
    {
        platform::installFakes();
        auto application = std::make_unique<app::Application>();
        application->startUp();
        TfmHomeAddMain* main = application->fmHomeAddMain;
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        main->dbGrid1->setFocus();
        QCOMPARE(QApplication::focusWidget(), main->dbGrid1);
        main->close();
        application.reset();
    }

    // The record card and the form view are the main window's own: they stay above it.
    void cardAndFormViewBelongToTheMainWindow()
    {
        platform::installFakes();
        app::Application application;
        application.startUp();
        TfmHomeAddMain* main = application.fmHomeAddMain;
        for (QWidget* window : {static_cast<QWidget*>(application.fmRecCard),
                                static_cast<QWidget*>(application.fmHomeForm)}) {
            QCOMPARE(window->parentWidget(), main);
            QVERIFY(window->isWindow());
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QCOMPARE(window->windowHandle()->transientParent(), main->windowHandle());
        }
    }
};

QTEST_MAIN(TestWindowPlace)
#include "tst_windowplace.moc"
