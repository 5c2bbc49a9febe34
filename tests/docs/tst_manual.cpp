// The manual against the program: every menu command, shortcut and command-line option the program defines is
// described, and the first steps work when followed key by key.
#include "app/Application.h"
#include "mainwindow/MainWindow.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "reports/layouts/PhoneList.h"
#include "reports/ui/Preview.h"
#include "support/TestDb.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString SourceRoot = QStringLiteral(TOVREL_TEST_DATA "/../..");

QString manualText()
{
    QFile file(SourceRoot + QStringLiteral("/docs/Manual.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The text of one chapter ("# Title" up to the next chapter).
QString chapter(const QString& manual, const QString& title)
{
    const qsizetype start = manual.indexOf(QStringLiteral("\n# ") + title + QLatin1Char('\n'));
    if (start < 0)
        return {};
    const qsizetype end = manual.indexOf(QStringLiteral("\n# "), start + 1);
    return manual.mid(start, end < 0 ? -1 : end - start);
}

// A caption as the manual writes it: without its access-key marks and a closing ellipsis.
QString plainCaption(QString caption)
{
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    caption = caption.trimmed();
    for (const QString& dots : {QStringLiteral("…"), QStringLiteral("...")})
        if (caption.endsWith(dots))
            caption.chop(dots.size());
    return caption.trimmed();
}

// A key as the manual spells it ("Page Up" where Qt writes "PgUp").
QString keyText(const QKeySequence& key)
{
    QStringList parts = key.toString(QKeySequence::NativeText).split(QLatin1Char('+'));
    static const QHash<QString, QString> spelled{{QStringLiteral("PgUp"), QStringLiteral("Page Up")},
                                                 {QStringLiteral("PgDown"), QStringLiteral("Page Down")},
                                                 {QStringLiteral("Del"), QStringLiteral("Delete")},
                                                 {QStringLiteral("Ins"), QStringLiteral("Insert")}};
    if (!parts.isEmpty())
        parts.last() = spelled.value(parts.last(), parts.last());
    return parts.join(QLatin1Char('+'));
}

struct MenuCommand
{
    QString path; // "File ▸ Text Size ▸ Large"
    QList<QKeySequence> keys;
};

void collect(const QList<QAction*>& actions, const QString& prefix, QList<MenuCommand>& out)
{
    for (QAction* action : actions) {
        if (action->isSeparator() || !action->isVisible() || action->text().isEmpty())
            continue;
        const QString path = prefix.isEmpty() ? plainCaption(action->text())
                                              : prefix + QStringLiteral(" ▸ ") + plainCaption(action->text());
        if (QMenu* menu = action->menu())
            collect(menu->actions(), path, out);
        else
            out << MenuCommand{path, action->shortcuts()};
    }
}

bool someLineHolds(const QString& text, const QStringList& parts)
{
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (std::all_of(parts.begin(), parts.end(), [&](const QString& p) { return line.contains(p); }))
            return true;
    return false;
}

// The options the program's parsers compare their arguments with, read from the program's own sources: every
// folder of the source tree but the tests, benchmarks, documentation, scripts, packaging and build folders.
QSet<QString> programOptions()
{
    static const QRegularExpression literal(QStringLiteral("\"(--[a-z][a-z0-9-]*)\""));
    static const QStringList notProgram{QStringLiteral("tests"), QStringLiteral("bench"), QStringLiteral("docs"),
                                        QStringLiteral("scripts"), QStringLiteral("packaging")};
    QSet<QString> options;
    const QDir root(SourceRoot);
    for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (notProgram.contains(folder) || QFileInfo::exists(root.filePath(folder + QStringLiteral("/CMakeCache.txt"))))
            continue;
        QDirIterator it(root.filePath(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            if (!source.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(source.readAll());
            for (auto m = literal.globalMatch(text); m.hasNext();)
                options.insert(m.next().captured(1));
        }
    }
    return options;
}

QWidget* keyTarget()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    return QApplication::activeWindow();
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(keyTarget(), key, modifiers);
}

void type(const QString& text)
{
    QTest::keyClicks(keyTarget(), text);
}

TfmPreview* shownPreview()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<TfmPreview*>(w); preview && preview->isVisible())
            return preview;
    return nullptr;
}

} // namespace

class TestManual : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY2(!manualText().isEmpty(), "docs/Manual.md cannot be read");
    }

    // Each command of the main window's menus is named by its path ("File ▸ Backup"), on a line with its key where
    // it has one; every other key a window of the program defines is in the keyboard reference, on a line with that
    // window's title.
    void menusAndKeysAreInTheManual()
    {
        QTemporaryDir dir;
        testsupport::makeDatabase(dir.filePath(QStringLiteral("Tovrel.mdb")), testsupport::sampleContacts());
        testsupport::makeCountyList(dir.path(), {});
        platform::setProgramFolder(dir.path());
        const auto fakes = platform::installFakes(); // no box waits for an answer
        app::Application application;
        application.startUp();
        TfmHomeAddMain* main = application.fmHomeAddMain;
        QVERIFY(main);

        const QString manual = manualText();
        QList<MenuCommand> commands;
        collect(main->menuBar()->actions(), {}, commands);
        QVERIFY(commands.size() > 10);
        QStringList missing;
        QSet<QObject*> menuActions;
        for (QAction* a : main->menuBar()->findChildren<QAction*>())
            menuActions.insert(a);
        for (const MenuCommand& c : commands) {
            if (!manual.contains(c.path))
                missing << c.path;
            for (const QKeySequence& key : c.keys)
                if (!someLineHolds(manual, {c.path, keyText(key)}))
                    missing << c.path + QStringLiteral(" with ") + keyText(key);
        }

        const QString keyboard = chapter(manual, QStringLiteral("Keyboard reference"));
        QVERIFY(!keyboard.isEmpty());
        // Each key under the title of the window it belongs to (the record card and the form view are windows of
        // their own, though the main window owns them).
        QSet<QObject*> seen;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            QList<QObject*> owners;
            for (QAction* action : top->findChildren<QAction*>())
                owners << action;
            for (QShortcut* shortcut : top->findChildren<QShortcut*>())
                owners << shortcut;
            for (QObject* owner : owners) {
                auto* parent = qobject_cast<QWidget*>(owner->parent());
                if (seen.contains(owner) || menuActions.contains(owner) || !parent)
                    continue;
                seen.insert(owner);
                QWidget* window = parent->window();
                const QString where = window == main ? QStringLiteral("main window") : window->windowTitle();
                const auto* action = qobject_cast<QAction*>(owner);
                const QList<QKeySequence> keys =
                    action ? action->shortcuts() : static_cast<QShortcut*>(owner)->keys();
                for (const QKeySequence& key : keys)
                    if (!key.isEmpty() && !someLineHolds(keyboard, {where, keyText(key)}))
                        missing << where + QStringLiteral(": ") + keyText(key);
            }
        }
        missing.removeDuplicates();
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the manual: ") + missing.join(QStringLiteral("; "))));
    }

    // Every option the parsers know is in the manual, and the manual names no option they do not know.
    void commandLineOptionsAreInTheManual()
    {
        const QSet<QString> options = programOptions();
        QVERIFY(options.contains(QStringLiteral("--folder")));
        const QString manual = manualText();
        QStringList missing;
        for (const QString& option : options)
            if (!manual.contains(QRegularExpression(QLatin1Char('`') + QRegularExpression::escape(option) +
                                                    QStringLiteral("(?![a-z0-9-])"))))
                missing << option;
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not in the manual: ") + missing.join(QLatin1Char(' '))));

        QStringList unknown;
        static const QRegularExpression named(QStringLiteral("(?<![a-z0-9-])(--[a-z][a-z0-9-]*)"));
        for (auto m = named.globalMatch(manual); m.hasNext();) {
            const QString option = m.next().captured(1);
            if (!options.contains(option))
                unknown << option;
        }
        unknown.removeDuplicates();
        QVERIFY2(unknown.isEmpty(),
                 qPrintable(QStringLiteral("the program has no option ") + unknown.join(QLatin1Char(' '))));
    }

    // "Your first contact and a phone list", key by key, on a first start: the contact is stored and the phone
    // list's preview is on screen.
    void firstStepsStoreAContactAndShowAPhoneList()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("contacts"));
        platform::setProgramFolder(folder);
        auto fakes = platform::installFakes(); // the first start's question is answered as Enter answers it
        app::Application application;
        application.startUp();
        TfmHomeAddMain* main = application.fmHomeAddMain;
        QVERIFY(main);
        QCOMPARE(fakes.prompts->asked.size(), 1);
        QVERIFY(fakes.prompts->asked.first().text.startsWith(QStringLiteral("There is no address book in")));
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));

        press(Qt::Key_E, Qt::AltModifier);
        // A button's access key clicks it a moment later, as a mouse click would show it pressed; then the cursor
        // is in the new row's first cell.
        QTRY_VERIFY(QApplication::focusWidget() &&
                    main->findChild<QWidget*>(QStringLiteral("dbGrid1"))->isAncestorOf(QApplication::focusWidget()));
        type(QStringLiteral("Baker"));
        press(Qt::Key_Tab);
        type(QStringLiteral("Anne"));
        press(Qt::Key_Tab);
        type(QStringLiteral("12 Mill Lane"));
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Tab);
        type(QStringLiteral("York"));
        for (int i = 0; i < 2; ++i)
            press(Qt::Key_Tab);
        type(QStringLiteral("YO1 7HH"));
        press(Qt::Key_Tab);
        type(QStringLiteral("01632 960123"));

        // The phone list runs in the preview's own event loop: it is looked at, and closed with Esc, from there.
        QStringList stored;
        const reports::ReportDefinition* shown = nullptr;
        int pages = -1;
        QTimer look;
        look.setInterval(0);
        connect(&look, &QTimer::timeout, this, [&] {
            TfmPreview* preview = shownPreview();
            if (!preview || preview->isRendering())
                return;
            look.stop();
            stored = testsupport::query(folder + QStringLiteral("/Tovrel.mdb"),
                                        QStringLiteral("SELECT ifnull(Surname,'') ||'|'|| ifnull(Firstname,'') ||'|'|| "
                                                       "ifnull(Address1,'') ||'|'|| ifnull(Address2,'') ||'|'|| "
                                                       "ifnull(A3_Village,'') ||'|'|| ifnull(Town,'') ||'|'|| "
                                                       "ifnull(County,'') ||'|'|| ifnull(PostCode,'') ||'|'|| "
                                                       "ifnull(Tel,'') ||'|'|| ifnull(Cell,'') FROM HomeAd"));
            shown = &preview->definition();
            pages = preview->shownPages().pageCount();
            QTest::keyClick(keyTarget(), Qt::Key_Escape);
        });
        look.start();
        press(Qt::Key_R, Qt::AltModifier);
        press(Qt::Key_L);
        look.stop();

        QCOMPARE(stored, QStringList{QStringLiteral("Baker|Anne|12 Mill Lane|||York||YO1 7HH|01632 960123|")});
        QVERIFY(application.fmQRTel && shown == &application.fmQRTel->QuickRep1);
        QCOMPARE(pages, 1);
        QVERIFY(!shownPreview());
        for (const platform::PromptRecord& r : fakes.prompts->asked)
            QVERIFY2(r.icon != platform::Icon::Error, qPrintable(r.text));
    }
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
