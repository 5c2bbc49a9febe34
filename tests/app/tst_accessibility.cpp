// Every window, as a keyboard or screen-reader user meets it, on a 1366 x 768 screen at 150 %: each control that
// takes the focus has a name, no two Alt-keys of one window (menus included) clash, and the window lies wholly
// on the screen.
#include "app/Application.h"
#include "exchange/ImportPlan.h"
#include "exchange/ui/ImportDialog.h"
#include "help/Credits.h"
#include "help/HelpMemoBox.h"
#include "help/SplashBox.h"
#include "data/Connection.h"
#include "data/widgets/DBMemo.h"
#include "data/Dataset.h"
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "mailmerge/MailMergeSetup.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/ContactGrid.h"
#include "mainwindow/RecentlyDeletedBox.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/FocusFrameStyle.h"
#include "platform/ui/ScreenReader.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "records/CountyListEditor.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "reports/stocks/IniSettings.h"
#include "reports/ui/Envelopes.h"
#include "reports/ui/Preview.h"
#include "reports/ui/StockLabels.h"
#include "search/ui/DuplicatesBox.h"
#include "search/ui/SearchDialog.h"
#include "search/ui/SearchHelp.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "sync/ui/SharedBook.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTextEdit>
#include <QPlainTextEdit>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// The Alt-key of a caption: the character after a single "&".
QChar mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Shown as far as the window goes: a page of a tab or stack that is not on top counts as shown.
bool shownInWindow(const QWidget* w)
{
    for (; w && !w->isWindow(); w = w->parentWidget())
        if (w->isHidden() && !qobject_cast<QStackedWidget*>(w->parentWidget()))
            return false;
    return true;
}

QString describe(const QWidget* w)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

// What is wrong with a window for a keyboard and screen-reader user.
QStringList faults(QWidget* window)
{
    QStringList out;
    QAccessibleInterface* windowFace = QAccessible::queryAccessibleInterface(window);
    if (windowFace->text(QAccessible::Name).isEmpty())
        out << QStringLiteral("the window has no title");
    if (windowFace->role() != QAccessible::Window && windowFace->role() != QAccessible::Dialog)
        out << QStringLiteral("the window's role is %1, not a window's").arg(int(windowFace->role()));
    QMap<QChar, QStringList> keys;
    const auto addKey = [&keys](const QString& text) {
        if (const QChar k = mnemonic(text); !k.isNull())
            keys[k] << text;
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !shownInWindow(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->focusProxy()) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty())
                out << QStringLiteral("no name: ") + describe(w);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            addKey(button->text());
        else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            addKey(label->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w); group && group->isCheckable())
            addKey(group->title());
        else if (auto* tabs = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                addKey(tabs->tabText(i));
        else if (auto* bar = qobject_cast<QMenuBar*>(w))
            for (QAction* a : bar->actions())
                addKey(a->text());
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        if (it.value().size() > 1)
            out << QStringLiteral("Alt+%1 clashes: %2").arg(it.key(), it.value().join(QStringLiteral(", ")));
    // Within each menu of the window, its entries' keys.
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        QMap<QChar, QStringList> entries;
        for (QAction* a : menu->actions())
            if (const QChar k = mnemonic(a->text()); !k.isNull() && a->isVisible())
                entries[k] << a->text();
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            if (it.value().size() > 1)
                out << QStringLiteral("in menu %1, Alt+%2 clashes: %3")
                           .arg(menu->title(), it.key(), it.value().join(QStringLiteral(", ")));
    }
    // Wholly on its screen, frame included.
    const QRect area = window->screen()->availableGeometry();
    if (!area.contains(window->frameGeometry()))
        out << QStringLiteral("off the %1x%2 screen: %3,%4 %5x%6")
                   .arg(area.width())
                   .arg(area.height())
                   .arg(window->frameGeometry().x())
                   .arg(window->frameGeometry().y())
                   .arg(window->frameGeometry().width())
                   .arg(window->frameGeometry().height());
    return out;
}

// Where the keys go when Tab is pressed from the window's first control, over and over: the widgets that had the
// focus, in order, and what is wrong. Focus must never stay on one widget (a table moving its current cell instead)
// and must reach a button. Ctrl+Tab stands in for Tab where Tab is typed as text or moves between the main grid's
// cells.
QStringList tabWalkFaults(QWidget* window)
{
    QApplication::setActiveWindow(window);
    window->activateWindow();
    QWidget* first = window->focusWidget();
    if (!first || first->window() != window) {
        for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled()) {
                w->setFocus(Qt::TabFocusReason);
                break;
            }
        first = QApplication::focusWidget();
    }
    if (!first || first->window() != window)
        return {QStringLiteral("nothing takes the focus")};
    int focusable = 0;
    bool hasButton = false;
    for (QWidget* w : window->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && !w->focusProxy()) {
            ++focusable;
            hasButton = hasButton || qobject_cast<QAbstractButton*>(w);
        }
    QStringList out;
    bool reachedButton = false;
    QWidget* now = first;
    for (int press = 0; press < focusable + 2; ++press) {
        reachedButton = reachedButton || qobject_cast<QAbstractButton*>(now);
        const auto* text = qobject_cast<QTextEdit*>(now);
        const auto* plain = qobject_cast<QPlainTextEdit*>(now);
        const bool typesTab = qobject_cast<mainwindow::ContactGrid*>(now) ||
                              (text && !text->isReadOnly() && !text->tabChangesFocus()) ||
                              (plain && !plain->isReadOnly() && !plain->tabChangesFocus());
        QTest::keyClick(now, Qt::Key_Tab, typesTab ? Qt::ControlModifier : Qt::NoModifier);
        QWidget* next = QApplication::focusWidget();
        if (!next || next->window() != window) {
            out << QStringLiteral("the focus left the window from ") + describe(now);
            break;
        }
        if (next == now && focusable > 1) {
            out << QStringLiteral("Tab stays in ") + describe(now);
            break;
        }
        now = next;
        if (now == first)
            break;
    }
    if (hasButton && !reachedButton)
        out << QStringLiteral("Tab never reaches a button");
    return out;
}

const QByteArray LongValues = "Surname,Firstname\r\n"
                              "Smith,Bartholomew-Maximilian Alexander\r\n";

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<app::Application> m_app;
    std::shared_ptr<IniSettings> m_settings;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        testsupport::makeDatabase(m_dir.filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        testsupport::makeCountyList(m_dir.path(), {QStringLiteral("Kent")});
        platform::setProgramFolder(m_dir.path());
        m_fakes = platform::installFakes();
        m_app = std::make_unique<app::Application>();
        m_app->startUp();
        QVERIFY(m_app->fmHomeAddMain);
        m_settings = std::make_shared<IniSettings>(m_dir.filePath(QStringLiteral("TovrelIni.ini")));
    }
    void cleanupTestCase() { m_app.reset(); }

    // The check itself finds what it is meant to find.
    void faultsAreFound()
    {
        QWidget w;
        w.setWindowTitle(QStringLiteral("Sample"));
        auto* layout = new QVBoxLayout(&w);
        layout->addWidget(new QPushButton(QStringLiteral("&Save")));
        layout->addWidget(new QPushButton(QStringLiteral("&Send")));
        auto* unnamed = new QLineEdit;
        layout->addWidget(unnamed);
        QMenuBar bar(&w);
        QMenu* file = bar.addMenu(QStringLiteral("&File"));
        file->addAction(QStringLiteral("&Open"));
        file->addAction(QStringLiteral("&Other"));
        w.resize(300, 200);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QStringList found = faults(&w);
        QCOMPARE(found.size(), 3);
        QVERIFY(found.filter(QStringLiteral("no name: QLineEdit")).size() == 1);
        QVERIFY(found.filter(QStringLiteral("Alt+s clashes: &Save, &Send")).size() == 1);
        QVERIFY(found.filter(QStringLiteral("in menu &File, Alt+o clashes")).size() == 1);
    }

    void screenIsScaled()
    {
        // What the rest is measured against: 1366 x 768 at 150 % leaves 911 x 512.
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(911, 512));
    }

    void window_data()
    {
        using Open = std::function<QWidget*(app::Application&)>;
        QTest::addColumn<Open>("open");
        const auto shown = [](QWidget* w) {
            w->show();
            return w;
        };
        QTest::newRow("main window") << Open([](app::Application& a) { return a.fmHomeAddMain; });
        QTest::newRow("record card") << Open([](app::Application& a) {
            a.runCommand(platform::Command::RecordCard);
            return a.fmRecCard;
        });
        QTest::newRow("form view") << Open([](app::Application& a) {
            a.runCommand(platform::Command::FormView);
            return a.fmHomeForm;
        });
        QTest::newRow("county editor") << Open([shown](app::Application& a) { return shown(a.fmCountyListEdit); });
        QTest::newRow("help note") << Open([](app::Application& a) {
            a.runCommand(platform::Command::HelpNote);
            return a.fmHelpMemo;
        });
        QTest::newRow("credits") << Open([shown](app::Application& a) { return shown(a.fmCredits); });
        QTest::newRow("about") << Open([](app::Application& a) -> QWidget* {
            help::miAboutClick(a.fmCredits, nullptr);
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<TfmSplash*>(w); box && box->isVisible())
                    return box;
            return nullptr;
        });
        QTest::newRow("mail merge") << Open([](app::Application& a) {
            a.runCommand(platform::Command::MailMerge);
            return a.fmMailMergeSetup;
        });
        QTest::newRow("mail merge help") << Open([shown](app::Application& a) { return shown(a.fmMailMergeHelp); });
        QTest::newRow("text editor") << Open([](app::Application& a) {
            a.runCommand(platform::Command::Notepad);
            return a.fmMailMergeEdit;
        });
        QTest::newRow("search") << Open([shown](app::Application& a) { return shown(a.fmSQLSearchDialog); });
        QTest::newRow("labels on other stock") << Open([this, shown](app::Application&) {
            return shown(own(new TfmStockLabels(m_settings)));
        });
        QTest::newRow("envelopes") << Open([this, shown](app::Application&) {
            return shown(own(new TfmEnvelopes(m_settings)));
        });
        QTest::newRow("shared address book") << Open([this, shown](app::Application&) {
            return shown(own(new TfmSharedBook({})));
        });
        QTest::newRow("import preview") << Open([this, shown](app::Application&) -> QWidget* {
            const QString path = testsupport::writeFile(m_dir.filePath(QStringLiteral("long.csv")), LongValues);
            exchange::Importer importer(path);
            const auto plan = importer.plan();
            return plan ? shown(own(new TfmImportPreview(*plan, path))) : nullptr;
        });
    }
    void window()
    {
        QFETCH(std::function<QWidget*(app::Application&)>, open);
        QWidget* w = open(*m_app);
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QStringList found = faults(w);
        m_titles[w->windowTitle()] << QString::fromLatin1(QTest::currentDataTag());
        w->close();
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // No two windows share a title: a reader's list of windows tells each apart.
    void titlesAreUnique()
    {
        QVERIFY(m_titles.size() > 10);
        for (auto it = m_titles.cbegin(); it != m_titles.cend(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(it.key() + QStringLiteral(": ") + it.value().join(", ")));
    }

    // The help windows close with Escape; the about box's text is read with its title.
    void helpWindows()
    {
        m_app->fmSQLSearchDialog->sqHelpBtnClick();
        m_app->runCommand(platform::Command::HelpNote);
        m_app->fmMailMergeHelp->show();
        for (QWidget* w : {static_cast<QWidget*>(m_app->fmSQLSearchDialog->helpWindow()),
                           static_cast<QWidget*>(m_app->fmHelpMemo), static_cast<QWidget*>(m_app->fmMailMergeHelp)}) {
            QVERIFY(QTest::qWaitForWindowExposed(w));
            QApplication::setActiveWindow(w);
            QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
            QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
        }
        help::miAboutClick(m_app->fmCredits, nullptr);
        TfmSplash* about = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<TfmSplash*>(w); box && box->isVisible())
                about = box;
        QVERIFY(about);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(about);
        QCOMPARE(face->role(), QAccessible::Dialog);
        QVERIFY(face->text(QAccessible::Description).contains(QStringLiteral("Version ")));
        about->close();
    }

    // The report preview runs its own loop: it is looked at from inside it.
    void preview()
    {
        QStringList found;
        bool seen = false;
        // Looked at once the first page is made (the preview renders inside its own loop).
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<TfmPreview*>(w); p && p->isVisible() && p->pageIndex() >= 0) {
                    look.stop();
                    seen = true;
                    found = faults(p);
                    // The page takes the focus and is named: PageDown scrolls it.
                    if (!(p->ScrollBox1->focusPolicy() & Qt::TabFocus))
                        found << QStringLiteral("the page takes no focus");
                    // Its words reach a reader, with where it is in the report.
                    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(p->ScrollBox1);
                    if (!page->text(QAccessible::Name).startsWith(QStringLiteral("Page 1 of ")))
                        found << QStringLiteral("the page is named ") + page->text(QAccessible::Name);
                    if (!page->text(QAccessible::Description).contains(testsupport::sampleContacts().first().value(
                            QStringLiteral("Surname"))))
                        found << QStringLiteral("the page reads ") + page->text(QAccessible::Description);
                    p->close();
                }
        });
        look.start(0);
        QVERIFY(m_app->runCommand(platform::Command::PhoneList));
        QVERIFY(seen);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // A search says how many contacts it found, in the status bar and as the panel's accessible name.
    void searchCountIsAnnounced()
    {
        TfmSQLSearchDialog* dialog = m_app->fmSQLSearchDialog;
        QTimer::singleShot(0, dialog, [dialog] {
            const auto items = dialog->sqListBox->findItems(QStringLiteral("Surname"), Qt::MatchExactly);
            QTest::mouseClick(dialog->sqListBox->viewport(), Qt::LeftButton, {},
                              dialog->sqListBox->visualItemRect(items.first()).center());
            dialog->sqEditBox->setText(QStringLiteral("a"));
            dialog->sqOKBtn->click();
        });
        m_app->fmHomeAddMain->HomeSearchClick();
        const data::Dataset& q = m_app->store.HomeQuery;
        QVERIFY(q.recordCount() > 1 && q.recordCount() < testsupport::sampleContacts().size());
        const QString said = QStringLiteral("%1 contacts found").arg(q.recordCount());
        QCOMPARE(m_app->fmHomeAddMain->statusPanelText(0), said);
        bool named = false;
        for (QLabel* panel : m_app->fmHomeAddMain->StatusBar1->findChildren<QLabel*>())
            named = named || panel->accessibleName() == said;
        QVERIFY(named);
        m_app->fmHomeAddMain->sqRetryBtnClick();
    }

    // An announcement is carried by the control with the focus (a reader speaks its changes, not a label's) until
    // the focus moves on, which gives the control its own description back.
    void announcementReachesTheFocus()
    {
        QWidget w;
        w.setWindowTitle(QStringLiteral("Sample"));
        auto* layout = new QVBoxLayout(&w);
        auto* find = new QLineEdit;
        find->setAccessibleDescription(QStringLiteral("Words in any field"));
        auto* other = new QPushButton(QStringLiteral("&Reset"));
        auto* status = new QLabel;
        layout->addWidget(find);
        layout->addWidget(other);
        layout->addWidget(status);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        find->setFocus();
        QTRY_VERIFY(find->hasFocus());
        platform::announce(status, QStringLiteral("3 contacts found"));
        QCOMPARE(status->text(), QStringLiteral("3 contacts found"));
        QCOMPARE(find->accessibleDescription(), QStringLiteral("3 contacts found"));
        platform::announce(status, QStringLiteral("2 contacts found"));
        QCOMPARE(find->accessibleDescription(), QStringLiteral("2 contacts found"));
        // A changed description reaches a reader without its text; a notification that appears is spoken.
        const auto notices = w.findChildren<QWidget*>(QStringLiteral("tovrelReaderNotice"));
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices.front()->isVisible());
        QAccessibleInterface* notice = QAccessible::queryAccessibleInterface(notices.front());
        QVERIFY(notice);
        QCOMPARE(notice->role(), QAccessible::Notification);
        QCOMPARE(notice->text(QAccessible::Name), QStringLiteral("2 contacts found"));
        QVERIFY(!(notices.front()->focusPolicy() & Qt::TabFocus));
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(find->accessibleDescription(), QStringLiteral("Words in any field"));
    }

    // A letter and Reset tell a screen reader how many contacts are shown, through the control the keys are in.
    void letterCountReachesTheReader()
    {
        TfmHomeAddMain* main = m_app->fmHomeAddMain;
        QApplication::setActiveWindow(main);
        main->sqRetryBtn->setFocus();
        QTRY_VERIFY(main->sqRetryBtn->hasFocus());
        main->sqRetryBtnClick();
        const int all = m_app->store.HomeQuery.recordCount();
        QCOMPARE(main->sqRetryBtn->accessibleDescription(), QStringLiteral("%1 contacts shown").arg(all));
    }

    // Text at least 4.5:1 against what it stands on: the grid's current cell (with and without the focus), the
    // import preview's shortened values, the help note's heading on both ends of its strip.
    void contrast()
    {
        const auto enough = [](QColor a, QColor b) { return platform::contrastRatio(a, b) >= 4.5; };
        QCOMPARE(qRound(platform::contrastRatio(Qt::white, Qt::black)), 21);
        QVERIFY(enough(QApplication::palette().color(QPalette::PlaceholderText), QApplication::palette().color(QPalette::Base)));

        mainwindow::ContactGrid* grid = m_app->fmHomeAddMain->dbGrid1;
        grid->setCurrentIndex(grid->model()->index(0, 0)); // a new selection leaves no cell marked
        m_app->fmHomeAddMain->activateWindow();
        QApplication::setActiveWindow(m_app->fmHomeAddMain);
        for (bool focus : {true, false}) {
            if (focus)
                grid->setFocus();
            else
                m_app->fmHomeAddMain->sqRetryBtn->setFocus();
            QTRY_COMPARE(grid->hasFocus(), focus);
            const QModelIndex cell = grid->currentIndex();
            QVERIFY(cell.isValid());
            const QImage image = grid->viewport()->grab(grid->visualRect(cell)).toImage();
            // The fill is the colour of most pixels; the text is the one most unlike it.
            QMap<QRgb, int> counts;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ++counts[image.pixel(x, y)];
            QRgb fill = counts.firstKey();
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                if (it.value() > counts[fill])
                    fill = it.key();
            double best = 1;
            for (auto it = counts.cbegin(); it != counts.cend(); ++it)
                best = std::max(best, platform::contrastRatio(QColor(it.key()), QColor(fill)));
            QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("focus %1: %2").arg(focus).arg(best)));
            QVERIFY2(fill != qRgb(255, 255, 255), "the current cell is marked");
        }

        const QString path = testsupport::writeFile(m_dir.filePath(QStringLiteral("long2.csv")), LongValues);
        exchange::Importer importer(path);
        const auto plan = importer.plan();
        QVERIFY(plan);
        TfmImportPreview preview(*plan, path);
        bool sawShortened = false;
        for (int row = 0; row < preview.tbFirst->rowCount(); ++row)
            if (QTableWidgetItem* item = preview.tbFirst->item(row, 1); item && !item->toolTip().isEmpty()) {
                sawShortened = true;
                QVERIFY(enough(item->foreground().color(), preview.tbFirst->palette().color(QPalette::Base)));
            }
        QVERIFY(sawShortened);

        m_app->runCommand(platform::Command::HelpNote);
        QWidget* strip = m_app->fmHelpMemo->Panel1;
        const QImage heading = strip->grab().toImage();
        for (int x : {1, heading.width() - 2})
            QVERIFY(enough(heading.pixelColor(x, heading.height() / 2), Qt::white));
        m_app->fmHelpMemo->close();

        m_app->fmSQLSearchDialog->sqHelpBtnClick();
        QWidget* searchHelp = m_app->fmSQLSearchDialog->helpWindow();
        const QImage band = searchHelp->grab(QRect(0, 0, searchHelp->width(), 20)).toImage();
        for (int x : {1, band.width() - 2})
            QVERIFY(enough(band.pixelColor(x, 2), Qt::white));
        searchHelp->close();
    }

    // Tab from a window's first control goes round its controls, reaching a button, and never sticks in one.
    void tabWalk_data()
    {
        window_data();
        using Open = std::function<QWidget*(app::Application&)>;
        QTest::newRow("search help") << Open([](app::Application& a) {
            a.fmSQLSearchDialog->sqHelpBtnClick();
            return static_cast<QWidget*>(a.fmSQLSearchDialog->helpWindow());
        });
        QTest::newRow("find duplicates") << Open([this](app::Application& a) {
            return static_cast<QWidget*>(own(new mainwindow::DuplicatesBox(a.store.connection.handle(), {})));
        });
        QTest::newRow("recently deleted") << Open([this](app::Application& a) {
            // One contact deleted, so the list has a row to stick in.
            a.store.HomeQuery.moveTo(0);
            a.store.HomeQuery.remove();
            return static_cast<QWidget*>(own(new mainwindow::RecentlyDeletedBox(a.store.connection.handle(), {})));
        });
    }
    void tabWalk()
    {
        QFETCH(std::function<QWidget*(app::Application&)>, open);
        QWidget* w = open(*m_app);
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QStringList found = tabWalkFaults(w);
        w->close();
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // The check finds a table that keeps Tab to itself.
    void tabWalkFindsATrap()
    {
        QWidget w;
        w.setWindowTitle(QStringLiteral("Sample"));
        auto* layout = new QVBoxLayout(&w);
        auto* table = new QTableWidget(3, 3);
        layout->addWidget(table);
        layout->addWidget(new QPushButton(QStringLiteral("&OK")));
        table->setCurrentCell(0, 0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        table->setFocus();
        QCOMPARE(tabWalkFaults(&w).value(0), QStringLiteral("Tab stays in QTableWidget \"\""));
        table->setTabKeyNavigation(false);
        QCOMPARE(tabWalkFaults(&w), QStringList{});
    }

    // Opening a report and closing its preview leaves the current contact where it was.
    void reportKeepsTheCurrentContact_data()
    {
        QTest::addColumn<platform::Command>("report");
        QTest::newRow("phone list") << platform::Command::PhoneList;
        QTest::newRow("21 labels") << platform::Command::Labels21;
        QTest::newRow("birthdays") << platform::Command::Birthdays;
    }
    void reportKeepsTheCurrentContact()
    {
        QFETCH(platform::Command, report);
        data::Dataset& q = m_app->store.HomeQuery;
        QVERIFY(q.recordCount() > 3);
        q.moveTo(2);
        const QString surname = q.text(2, q.fieldIndex(QStringLiteral("Surname")));
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<TfmPreview*>(w); p && p->isVisible()) {
                    seen = true;
                    p->close();
                }
        });
        QVERIFY(m_app->runCommand(report));
        QVERIFY(seen);
        QCOMPARE(q.currentRow(), 2);
        QCOMPARE(q.text(q.currentRow(), q.fieldIndex(QStringLiteral("Surname"))), surname);
        QTRY_COMPARE(m_app->fmHomeAddMain->dbGrid1->currentIndex().row(), 2);
    }

    // Each "keep" choice of the duplicates window is labelled with its field for a screen reader, which on Linux
    // names a combo box by its current value; the group list tells which group is chosen.
    void duplicateChoicesCarryTheirField()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.mdb"));
        testsupport::makeDatabase(path, {testsupport::contact({{"Surname", "Cole"}, {"Firstname", "Ann"}}),
                                         testsupport::contact({{"Surname", "Cole"}, {"Firstname", "A."}})});
        data::Connection connection;
        connection.setDatabasePath(path);
        connection.open();
        mainwindow::DuplicatesBox box(connection.handle(), {});
        box.show();
        QComboBox* choice = box.choice(QStringLiteral("Firstname"));
        QVERIFY(choice);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(choice);
        QStringList labels;
        for (const auto& [other, relation] : iface->relations(QAccessible::Label))
            labels << other->text(QAccessible::Name);
        QCOMPARE(labels, QStringList{QStringLiteral("Value of Firstname to keep")});
        QVERIFY(iface->text(QAccessible::Description).contains(QStringLiteral("Firstname")));
        QVERIFY(QAccessible::queryAccessibleInterface(box.groups)
                    ->text(QAccessible::Description)
                    .startsWith(QStringLiteral("Group 1 of 1: Cole, Ann / Cole, A.")));
    }

    // A line edit tells its word, sentence and line at any offset, its end included, where Qt's own answer spins or
    // drops the last letter.
    void lineEditText_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QAccessible::TextBoundaryType>("boundary");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("start");
        QTest::newRow("line at the start") << 0 << QAccessible::LineBoundary << "Ivy House. Kent" << 0;
        QTest::newRow("line at the end") << 15 << QAccessible::LineBoundary << "Ivy House. Kent" << 0;
        QTest::newRow("word inside") << 5 << QAccessible::WordBoundary << "House" << 4;
        QTest::newRow("last word") << 14 << QAccessible::WordBoundary << "Kent" << 11;
        QTest::newRow("word at the end") << 15 << QAccessible::WordBoundary << "" << 15;
        QTest::newRow("sentence at the end") << 15 << QAccessible::SentenceBoundary << "" << 15;
        QTest::newRow("sentence inside") << 12 << QAccessible::SentenceBoundary << "Kent" << 11;
        QTest::newRow("past the end") << 40 << QAccessible::CharBoundary << "" << 15;
        QTest::newRow("last letter") << 14 << QAccessible::CharBoundary << "t" << 14;
    }
    void lineEditText()
    {
        QFETCH(int, offset);
        QFETCH(QAccessible::TextBoundaryType, boundary);
        QFETCH(QString, expected);
        QFETCH(int, start);
        QLineEdit edit(QStringLiteral("Ivy House. Kent"));
        QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&edit)->textInterface();
        QVERIFY(text);
        int from = -1;
        int to = -1;
        QCOMPARE(text->textAtOffset(offset, boundary, &from, &to), expected);
        QCOMPARE(from, start);
        QCOMPARE(to, start + expected.size());
        // Before and after the unit at the end come back too.
        (void)text->textBeforeOffset(offset, boundary, &from, &to);
        (void)text->textAfterOffset(offset, boundary, &from, &to);
        QCOMPARE(QAccessible::queryAccessibleInterface(&edit)->role(), QAccessible::EditableText);
        // The text is one run of attributes, whatever the offset: a reader speaks the box run by run.
        (void)text->attributes(std::min(offset, 14), &from, &to);
        QCOMPARE(from, 0);
        QCOMPARE(to, 15);
    }

    // A screen reader hears of focus where the keys go and of text in boxes it can see: the main grid's current
    // row moved from elsewhere does not claim the focus, and the hidden record card's boxes stay quiet as the row
    // changes. (The offscreen platform has no reader to send to, so the filter's choice is asked directly.)
    void readerFollowsTheKeys()
    {
        TfmHomeAddMain* main = m_app->fmHomeAddMain;
        QApplication::setActiveWindow(main);
        main->sqRetryBtn->setFocus();
        QTRY_VERIFY(main->sqRetryBtn->hasFocus());
        QAccessibleEvent gridFocus(main->dbGrid1, QAccessible::Focus);
        QVERIFY(platform::keptFromReader(&gridFocus));
        QAccessibleEvent buttonFocus(main->sqRetryBtn, QAccessible::Focus);
        QVERIFY(!platform::keptFromReader(&buttonFocus));
        main->dbGrid1->setFocus();
        QTRY_VERIFY(main->dbGrid1->hasFocus());
        QVERIFY(!platform::keptFromReader(&gridFocus));

        m_app->fmRecCard->hide();
        auto* box = m_app->fmRecCard->findChild<QLineEdit*>();
        QVERIFY(box);
        QAccessibleTextUpdateEvent hiddenText(box, 0, QStringLiteral("Baker"), QStringLiteral("Dunn"));
        QVERIFY(platform::keptFromReader(&hiddenText));
        m_app->runCommand(platform::Command::RecordCard);
        QVERIFY(QTest::qWaitForWindowExposed(m_app->fmRecCard));
        QAccessibleTextUpdateEvent shownText(box, 0, QStringLiteral("Baker"), QStringLiteral("Dunn"));
        QVERIFY(!platform::keptFromReader(&shownText));
        m_app->fmRecCard->close();
    }

    // Next and Back on the record card keep the focus on the button; the reader is told the contact now shown.
    void recordCardTellsTheContact()
    {
        m_app->runCommand(platform::Command::RecordCard);
        TfmRecCard* card = m_app->fmRecCard;
        QVERIFY(QTest::qWaitForWindowExposed(card));
        QApplication::setActiveWindow(card);
        data::Dataset& q = m_app->store.HomeQuery;
        QVERIFY(q.recordCount() >= 2);
        q.moveTo(0);
        card->Panel4->setFocus();
        QTRY_VERIFY(card->Panel4->hasFocus());
        card->Panel4Click();
        QCOMPARE(q.currentRow(), 1);
        const QString told = card->Panel4->accessibleDescription();
        QVERIFY2(told.startsWith(q.text(1, QStringLiteral("Surname"))), qPrintable(told));
        QVERIFY2(told.endsWith(QStringLiteral(", 2 of %1").arg(q.recordCount())), qPrintable(told));
        card->close();
    }

    // On the record card, whose boxes have no frame, the box with the focus gets the program's 2-pixel frame: a line
    // box inside its edge, the notes just around it.
    void recordCardFocusIsFramed()
    {
        m_app->runCommand(platform::Command::RecordCard);
        TfmRecCard* card = m_app->fmRecCard;
        QVERIFY(QTest::qWaitForWindowExposed(card));
        QApplication::setActiveWindow(card);
        const QColor frame = platform::FocusFrameStyle::frameColour(card->palette());
        const auto framed = [frame](QWidget* box) {
            box->setFocus(Qt::TabFocusReason);
            if (!QTest::qWaitFor([box] { return box->hasFocus(); }))
                return false;
            const QImage image = box->parentWidget()->grab(box->geometry().adjusted(-2, -2, 2, 2)).toImage();
            for (int x = 0; x < 8; ++x)
                if (image.pixelColor(x, image.height() / 2) == frame)
                    return true;
            return false;
        };
        auto* line = card->findChild<QLineEdit*>();
        QVERIFY(line);
        QVERIFY(framed(line));
        QVERIFY(framed(card->notesBox));
        card->close();
    }

    // The text size is kept under a key of its own, the other keys as they were, and scales the next start.
    void textSize()
    {
        const QString ini = m_dir.filePath(QStringLiteral("TovrelIni.ini"));
        testsupport::writeFile(ini, "[mainform]\r\nTop=10\r\n");
        QAction* larger = nullptr;
        for (QAction* a : m_app->fmHomeAddMain->mnTextSize->actions())
            if (a->text() == QStringLiteral("La&rger"))
                larger = a;
        QVERIFY(larger);
        larger->trigger();
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[mainform]\r\nTop=10\r\n\r\n[Display]\r\nTextSize=2\r\n"));
        QVERIFY(m_fakes.prompts->asked.constLast().text.contains(QStringLiteral("next started")));

        qputenv("QT_SCALE_FACTOR", "2");
        platform::applyTextSizeBeforeStart(ini);
        QCOMPARE(qgetenv("QT_SCALE_FACTOR").toDouble(), 3.0); // a scale asked for is kept, and grows with the text
        qputenv("QT_SCALE_FACTOR", "1.5");
    }

private:
    QWidget* own(QWidget* w)
    {
        m_made.emplace_back(w);
        return w;
    }
    std::vector<std::unique_ptr<QWidget>> m_made;
    QMap<QString, QStringList> m_titles;
};

int main(int argc, char* argv[])
{
    // One 1366 x 768 screen at 150 %, as a small laptop with large text has.
    QTemporaryDir config;
    const QString file = config.filePath(QStringLiteral("screen.json"));
    testsupport::writeFile(file, R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                                                  "logicalDpi": 96, "logicalBaseDpi": 96}]})");
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(file));
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibility.moc"
