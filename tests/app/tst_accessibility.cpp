// Every window, as a keyboard or screen-reader user meets it, on a 1366 x 768 screen at 150 %: each control that
// takes the focus has a name, no two Alt-keys of one window (menus included) clash, and the window lies wholly
// on the screen.
#include "app/Application.h"
#include "exchange/ImportPlan.h"
#include "exchange/ui/ImportDialog.h"
#include "help/Credits.h"
#include "help/HelpMemoBox.h"
#include "help/SplashBox.h"
#include "data/Dataset.h"
#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "mailmerge/MailMergeSetup.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/ContactGrid.h"
#include "platform/ui/Accessibility.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "records/CountyListEditor.h"
#include "records/HomeFormView.h"
#include "records/RecordCard.h"
#include "reports/stocks/IniSettings.h"
#include "reports/ui/Envelopes.h"
#include "reports/ui/Preview.h"
#include "reports/ui/StockLabels.h"
#include "search/ui/SearchDialog.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "sync/ui/SharedBook.h"

#include <QAbstractButton>
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
    if (QAccessible::queryAccessibleInterface(window)->text(QAccessible::Name).isEmpty())
        out << QStringLiteral("the window has no title");
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
        w->close();
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    // The report preview runs its own loop: it is looked at from inside it.
    void preview()
    {
        QStringList found;
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<TfmPreview*>(w); p && p->isVisible()) {
                    seen = true;
                    found = faults(p);
                    // The page takes the focus and is named: PageDown scrolls it.
                    if (!(p->ScrollBox1->focusPolicy() & Qt::TabFocus))
                        found << QStringLiteral("the page takes no focus");
                    p->close();
                }
        });
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

    // Text at least 4.5:1 against what it stands on: the grid's current cell (with and without the focus), the
    // import preview's shortened values, the help note's heading on both ends of its strip.
    void contrast()
    {
        const auto enough = [](QColor a, QColor b) { return platform::contrastRatio(a, b) >= 4.5; };
        QCOMPARE(qRound(platform::contrastRatio(Qt::white, Qt::black)), 21);

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
