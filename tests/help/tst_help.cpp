#include "help/Credits.h"
#include "help/HelpMemoBox.h"
#include "help/SplashBox.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTest>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

QList<TfmSplash*> aboutBoxes()
{
    QList<TfmSplash*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<TfmSplash*>(w))
            boxes << box;
    return boxes;
}

QString pdfText(const QString& pdf, int page = 0)
{
    QStringList arguments{QStringLiteral("-layout")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    arguments << pdf << QStringLiteral("-");
    QProcess process;
    process.start(QStringLiteral("pdftotext"), arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        platform::setProgramFolder(m_dir->path());
        m_fakes = platform::installFakes();
        // Made once and hidden, as at start-up.
        m_note = std::make_unique<TfmHelpMemo>();
        m_credits = std::make_unique<TfmCredits>();
        m_program = std::make_unique<QObject>();
    }
    void cleanup()
    {
        m_program.reset();
        m_credits.reset();
        m_note.reset();
        m_dir.reset();
    }

    void theHelpWindowsAreMadeHidden()
    {
        QVERIFY(!m_note->isVisible());
        QVERIFY(!m_credits->isVisible());
        QVERIFY(aboutBoxes().isEmpty());
    }

    // The manual is handed to the desktop by its full path; a box tells when nothing shows it, or when there is no
    // manual to show, and where it is or was looked for.
    void manualGoesToTheDesktop_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("page"); // the web page beside the PDF, which goes first
        QTest::addColumn<bool>("handled");
        QTest::addColumn<QString>("box");
        QTest::newRow("a viewer opens it") << true << false << true << QString();
        QTest::newRow("nothing opens it") << true << false << false
                                          << "No program to show PDF files could be started. The manual is:\n%1";
        QTest::newRow("no manual") << false << false << true
                                   << "The manual Manual.pdf was not found. It was looked for here:\n%1";
        QTest::newRow("the web page") << true << true << true << QString();
        QTest::newRow("no browser") << true << true << false
                                    << "No program to show web pages could be started. The manual is:\n%1";
    }
    void manualGoesToTheDesktop()
    {
        QFETCH(bool, present);
        QFETCH(bool, page);
        QFETCH(bool, handled);
        QFETCH(QString, box);
        const QString pdf = m_dir->filePath(QStringLiteral("Manual.pdf"));
        const QString html = m_dir->filePath(QStringLiteral("Manual.html"));
        QFile::remove(html);
        const QString manual = page ? html : pdf;
        if (present) {
            QFile file(pdf);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("%PDF-1.4\n");
        }
        if (page) {
            QFile file(html);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<html></html>\n");
        }
        m_fakes.shell->handled = handled;
        help::Help2Click(nullptr);
        QCOMPARE(m_fakes.shell->opened, present ? QStringList{manual} : QStringList());
        if (box.isEmpty()) {
            QVERIFY(m_fakes.prompts->asked.isEmpty());
            return;
        }
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked[0].caption, QStringLiteral("Information"));
        QCOMPARE(m_fakes.prompts->asked[0].icon, platform::Icon::Information);
        const QString where = present ? manual : help::manualCandidates().join(QLatin1Char('\n'));
        QCOMPARE(m_fakes.prompts->asked[0].text, box.arg(QDir::toNativeSeparators(where)));
    }

    // The build lays the manual out beside the program, with a contents list whose pages are right.
    void manualIsBuiltBesideTheProgram()
    {
        const QString pdf = QFileInfo(QStringLiteral(TOVREL_BINARY)).absolutePath() + QStringLiteral("/Manual.pdf");
        QFile file(pdf);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(pdf));
        QVERIFY(file.read(5) == "%PDF-");
        // Beside it the same text as a web page a screen reader can walk: headings as headings, pictures inside.
        QFile page(QFileInfo(pdf).path() + QStringLiteral("/Manual.html"));
        QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
        const QString html = QString::fromUtf8(page.readAll());
        QVERIFY(html.contains(QStringLiteral("<title>Tovrel User Manual</title>")));
        QVERIFY(html.contains(QRegularExpression(QStringLiteral("<h1[^>]*>.*Getting started"))));
        QVERIFY(html.contains(QStringLiteral("src=\"data:image/png;base64,")));
        QVERIFY(!html.contains(QStringLiteral("[[CONTENTS]]")));
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("no pdftotext to read the manual with");
        const QString contents = pdfText(pdf, 1) + pdfText(pdf, 2);
        for (const char* chapter : {"Getting started", "The main window", "Finding contacts", "Printing", "Mail merge",
                                    "Backup and restore", "The files Tovrel keeps"}) {
            const QRegularExpression entry(QStringLiteral("^\\s*%1\\s+(\\d+)\\s*$").arg(QLatin1String(chapter)),
                                           QRegularExpression::MultilineOption);
            const QRegularExpressionMatch match = entry.match(contents);
            QVERIFY2(match.hasMatch(), chapter);
            const QString page = pdfText(pdf, match.captured(1).toInt());
            QVERIFY2(page.contains(QRegularExpression(QStringLiteral("^\\s*%1\\s*$").arg(QLatin1String(chapter)),
                                                      QRegularExpression::MultilineOption)),
                     chapter);
        }
        const QString all = pdfText(pdf);
        for (const char* needed : {"Avery L7160", "Avery L7162", "Tovrel.bak", "Select Names", "ListFile.txt"})
            QVERIFY2(all.contains(QLatin1String(needed)), needed);
    }

    void helpNoteIsOneWindowWithItsText()
    {
        help::Help1Click(m_note.get());
        help::Help1Click(m_note.get());
        TfmHelpMemo* note = m_note.get();
        QVERIFY(note->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(note));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return qobject_cast<TfmHelpMemo*>(w) != nullptr; }),
                 1);
        QCOMPARE(note->windowTitle(), QStringLiteral("Tovrel Help Note"));
        QCOMPARE(note->minimumSize(), note->maximumSize());
        QCOMPARE(note->width(), 442);
        QVERIFY(note->height() >= 307);
        QCOMPARE(note->Label1->text(), QStringLiteral("Help Information"));
        QVERIFY(note->Label1->font().bold());
        QCOMPARE(note->Label1->font().pixelSize(), 16);
        QCOMPARE(note->Panel1->height(), 32);
        QVERIFY(note->RichEdit1->isReadOnly());
        // The whole text in view, each paragraph wrapped as one: no scrolling, no line broken inside a sentence.
        QCOMPARE(note->RichEdit1->verticalScrollBar()->maximum(), 0);
        QCOMPARE(note->RichEdit1->horizontalScrollBar()->maximum(), 0);

        const QStringList paragraphs = note->RichEdit1->toPlainText().split(QLatin1Char('\n'));
        const QStringList fixed = {
            "A LITTLE HELP",
            "",
            "Tovrel is simple, and I hope you can find your way about easily.",
            "",
            "For full indexed instructions with illustrations, click on Help or press F1 to view the more detailed "
            "Acrobat PDF file.",
            "",
            "It uses one database file (SQLite) to store useful info about people. Other tools that read SQLite can "
            "open that file if you like, and Backup copies it. You can view, edit, delete, or add records in the main "
            "Table, which is what you see when you open the application.",
            "",
            "IMPROVEMENTS",
            "",
            "We welcome constructive comments and suggestions.",
            "",
        };
        QCOMPARE(paragraphs.size(), 15);
        QCOMPARE(paragraphs.mid(0, 12), fixed);
        QVERIFY(paragraphs[12].startsWith(QLatin1String("Please email to:")) && paragraphs[12].contains(QLatin1Char('@')));
        QVERIFY(paragraphs[13].startsWith(QLatin1String("Or visit ")) &&
                paragraphs[13].endsWith(QLatin1String("and leave a message.")));
        QVERIFY(paragraphs[14].startsWith(QLatin1String("Or write to :")) && paragraphs[14].size() > 20);
    }

    // Each request makes a box of its own that stays on top, shows the version and stays until a click or a key
    // (Tab only moves to "Credits", a button); the credits window opened from one outlives it.
    void aboutBoxesStayUntilClickedOrAKey()
    {
        help::miAboutClick(m_credits.get(), m_program.get());
        help::miAboutClick(m_credits.get(), m_program.get());
        const QList<TfmSplash*> boxes = aboutBoxes();
        QCOMPARE(boxes.size(), 2);
        for (TfmSplash* box : boxes) {
            QVERIFY(box->isVisible());
            QVERIFY(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QCOMPARE(box->windowTitle(), QStringLiteral("About Tovrel"));
            QCOMPARE(box->size(), QSize(359, 201));
            QCOMPARE(box->ProductName->text(), QStringLiteral("Tovrel"));
            QCOMPARE(box->Version->text(), QStringLiteral("Version " TOVREL_VERSION));
            QCOMPARE(box->Comments->text(), QStringLiteral("Database for Home or Office"));
            QVERIFY(!box->Developer->text().isEmpty());
            QCOMPARE(box->pnlCredits->text(), QStringLiteral("&Credits"));
            QVERIFY(box->pnlCredits->focusPolicy() & Qt::TabFocus);
        }
        QPointer<TfmSplash> first = boxes[0];
        QPointer<TfmSplash> second = boxes[1];

        QTest::mouseClick(first->pnlCredits, Qt::LeftButton);
        QVERIFY(m_credits->isVisible());
        QVERIFY(first);

        QTest::keyClick(first.data(), Qt::Key_Tab);
        QVERIFY(first);
        QTest::keyClick(first.data(), Qt::Key_Escape);
        QTRY_VERIFY(first.isNull());
        QVERIFY(second);
        QTest::mouseClick(second->Comments, Qt::LeftButton);
        QTRY_VERIFY(second.isNull());
        QVERIFY(aboutBoxes().isEmpty());
        QVERIFY(m_credits->isVisible());
    }

    void creditsWindow()
    {
        // An about box still counting down when the program ends goes with it.
        help::miAboutClick(m_credits.get(), m_program.get());
        TfmCredits* credits = m_credits.get();
        QCOMPARE(credits->windowTitle(), QStringLiteral("Credits"));
        QVERIFY(credits->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!credits->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!credits->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(credits->RichEdit1->isReadOnly());
        const QStringList lines = credits->RichEdit1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QStringLiteral("Thanks to (in no particular order) :"));
        QCOMPARE(lines[1], QString());
        for (int i = 2; i < 7; ++i)
            QVERIFY(!lines[i].isEmpty());
        for (QTextBlock b = credits->RichEdit1->document()->begin(); b.isValid(); b = b.next())
            QCOMPARE(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        // At its size as made, every line stands on one line and the whole text is in view.
        credits->show();
        QVERIFY(QTest::qWaitForWindowExposed(credits));
        QVERIFY(credits->width() >= 395 && credits->height() >= 128);
        QCOMPARE(credits->RichEdit1->verticalScrollBar()->maximum(), 0);
        QCOMPARE(credits->RichEdit1->horizontalScrollBar()->maximum(), 0);
        for (QTextBlock b = credits->RichEdit1->document()->begin(); b.isValid(); b = b.next())
            QVERIFY2(b.layout()->lineCount() == 1, qPrintable(b.text()));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    platform::Fakes m_fakes{};
    std::unique_ptr<TfmHelpMemo> m_note;
    std::unique_ptr<TfmCredits> m_credits;
    std::unique_ptr<QObject> m_program; // the box's owner: the application object in the program
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
