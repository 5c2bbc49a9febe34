// The preview window: controls, zoom, page turning, the status panels, the window during and after rendering,
// one preview per report, and saving and loading rendered pages.
#include "PreviewTestUtil.h"

#include "platform/Fakes.h"
#include "reports/ui/Preview.h"
#include "reports/ui/PreviewPage.h"
#include "reports/layouts/AddressLabels21.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "reports/ReportFile.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace reports;
using previewtest::WatchedSource;

namespace {

// 150 contacts make four phone list pages.
constexpr int kContacts = 150;
constexpr int kPages = 4;

// Runs `action` once the report's preview is open and its rendering is over (previewReport() waits meanwhile).
void whenRendered(const ReportDefinition& definition, std::function<void(TfmPreview&)> action)
{
    QTimer::singleShot(0, [&definition, action] {
        TfmPreview* preview = TfmPreview::previewOf(definition);
        if (!preview || preview->isRendering()) {
            whenRendered(definition, action);
            return;
        }
        action(*preview);
        if (preview->isVisible())
            preview->close(); // never leave previewReport() waiting, whatever the checks found
    });
}

QStringList toolbarHints(const TfmPreview& preview)
{
    QStringList hints;
    for (QAction* action : preview.ToolBar1->actions())
        if (auto* button = qobject_cast<QToolButton*>(preview.ToolBar1->widgetForAction(action)))
            hints << button->toolTip();
    return hints;
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

    platform::Fakes m_fakes{};

private slots:
    void init() { m_fakes = platform::installFakes(); }

    void caption_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no title") << QString() << QStringLiteral("Print Preview");
        QTest::newRow("title") << QStringLiteral("Tovrel Phone List") << QStringLiteral("Tovrel Phone List");
    }

    void caption()
    {
        QFETCH(QString, title);
        QFETCH(QString, caption);
        ReportDefinition definition = previewtest::phoneList();
        definition.title = title;
        WatchedSource source(reporttest::numbered(3));
        bool checked = false;
        whenRendered(definition, [&](TfmPreview& preview) {
            checked = true;
            QCOMPARE(preview.windowTitle(), caption);
            QVERIFY(preview.isMaximized());
        });
        previewReport(definition, source);
        QVERIFY(checked);
    }

    void controls()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        TfmPreview preview(definition, source);
        QCOMPARE(toolbarHints(preview),
                 (QStringList{"Zoom to fit", "100%", "Zoom to width", "First page", "Previous page", "Next page",
                              "Last page", "Printer setup", "Print", "Save Report", "Save as PDF", "Load Report"}));
        for (QToolButton* b : preview.ToolBar1->findChildren<QToolButton*>())
            if (!b->toolTip().isEmpty())
                QCOMPARE(b->statusTip(), b->toolTip()); // the main window's status bar shows it too
        QCOMPARE(preview.btnClose->text(), QStringLiteral("&Close"));
        QVERIFY(preview.btnZoomToWidth->isChecked());
        QCOMPARE(preview.zoom(), TfmPreview::Zoom::ToWidth);
    }

    void zoomButtonsAreExclusive()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        TfmPreview preview(definition, source);
        preview.resize(800, 600);
        preview.show();
        preview.renderReport();
        const QSize viewport = preview.ScrollBox1->maximumViewportSize();
        const double desk = 2.0 * PreviewPage::kDeskMargin;
        const QList<QToolButton*> zooms{preview.btnZoomToFit, preview.btnZoom100, preview.btnZoomToWidth};
        for (QToolButton* chosen : zooms) {
            chosen->click();
            for (QToolButton* b : zooms)
                QCOMPARE(b->isChecked(), b == chosen);
        }
        preview.btnZoomToFit->click();
        QVERIFY(210 * preview.pixelsPerMm() + desk <= viewport.width() + 1);
        QVERIFY(297 * preview.pixelsPerMm() + desk <= viewport.height() + 1);
        QVERIFY(qAbs(297 * preview.pixelsPerMm() + desk - viewport.height()) <= 1); // A4 portrait: height decides
        preview.btnZoom100->click();
        QCOMPARE(preview.pixelsPerMm(), preview.logicalDpiX() / 25.4);
        preview.btnZoomToWidth->click();
        // The page is taller than the window: its width leaves room for the vertical scroll bar.
        const int bar = preview.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, preview.ScrollBox1);
        QVERIFY(qAbs(210 * preview.pixelsPerMm() + desk + bar - viewport.width()) <= 1);
        QCoreApplication::processEvents(); // the scroll area shows its bar once it has laid itself out
        QCOMPARE(preview.PreviewPage1->width(), preview.ScrollBox1->viewport()->width());
    }

    void keys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("to");
        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Page Down") << 0 << int(Qt::Key_PageDown) << none << 1;
        QTest::newRow("Page Down on the last page") << 3 << int(Qt::Key_PageDown) << none << 3;
        QTest::newRow("Page Up") << 2 << int(Qt::Key_PageUp) << none << 1;
        QTest::newRow("Page Up on the first page") << 0 << int(Qt::Key_PageUp) << none << 0;
        QTest::newRow("Ctrl+Page Up") << 2 << int(Qt::Key_PageUp) << ctrl << 0;
        QTest::newRow("Home") << 2 << int(Qt::Key_Home) << none << 0;
        QTest::newRow("Ctrl+Page Down") << 1 << int(Qt::Key_PageDown) << ctrl << 3;
        QTest::newRow("End") << 1 << int(Qt::Key_End) << none << 3;
    }

    void keys()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, to);
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.show();
        preview.renderReport();
        QCOMPARE(preview.shownPages().pageCount(), kPages);
        preview.showPage(from);
        // Pressed while a toolbar control has the focus: the window still turns the pages.
        QTest::keyClick(preview.btnClose, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(preview.pageIndex(), to);
        QCOMPARE(preview.pnlPage->text(), QStringLiteral("Page %1 of %2").arg(to + 1).arg(kPages));
    }

    void escapeCloses()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        whenRendered(definition, [](TfmPreview& preview) { QTest::keyClick(preview.btnNextPage, Qt::Key_Escape); });
        previewReport(definition, source); // returns only once the window has closed
        QCOMPARE(TfmPreview::previewOf(definition), nullptr);
    }

    void progressPanel_data()
    {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("small steps wait for 5") << QList<int>{1, 4, 5, 9, 10} << QStringList{"", "", "5%", "5%", "10%"};
        QTest::newRow("jumps") << QList<int>{33, 66, 99} << QStringList{"33%", "66%", "99%"};
        QTest::newRow("grown since last shown") << QList<int>{7, 11, 12} << QStringList{"7%", "7%", "12%"};
        QTest::newRow("cleared at 100") << QList<int>{50, 100} << QStringList{"50%", ""};
        QTest::newRow("cleared at 0, counted afresh") << QList<int>{50, 0, 3, 5} << QStringList{"50%", "", "", "5%"};
    }

    void progressPanel()
    {
        QFETCH(QList<int>, values);
        QFETCH(QStringList, shown);
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(1));
        TfmPreview preview(definition, source);
        QStringList seen;
        for (int value : values) {
            preview.showProgress(value);
            seen << preview.pnlProgress->text();
        }
        QCOMPARE(seen, shown);
    }

    // The status bar says how many values were made smaller or cut, so they can be mended before printing; loaded
    // pages say nothing of it.
    void shortenedValuesInTheStatusBar_data()
    {
        QTest::addColumn<int>("longNames");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("one") << 1 << QStringLiteral("1 value shortened to fit");
        QTest::newRow("three") << 3 << QStringLiteral("3 values shortened to fit");
    }
    void shortenedValuesInTheStatusBar()
    {
        QFETCH(int, longNames);
        QFETCH(QString, shown);
        std::vector<QStringList> rows;
        for (int i = 0; i < 5; ++i)
            rows.push_back({i < longNames ? QStringLiteral("Featherstonehaugh-Cholmondeley%1").arg(i)
                                          : QStringLiteral("Bee%1").arg(i)});
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::contacts({QStringLiteral("Surname")}, rows));
        TfmPreview preview(definition, source);
        preview.renderReport();
        QCOMPARE(preview.pnlShortened->text(), shown);
        QCOMPARE(preview.shownPages().shortened, longNames);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.trp"));
        saveReport(preview.shownPages(), path);
        m_fakes.fileDialogs->answers.enqueue(path);
        preview.btnLoadReport->click();
        QVERIFY(preview.showsLoadedPages());
        QCOMPARE(preview.pnlShortened->text(), QString());
    }

    // While rendering: the pages so far are shown and counted, printing waits, the progress shows.
    void duringRendering()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.show();
        bool looked = false;
        source.onRow = [&](int row) {
            if (row != 100)
                return;
            looked = true;
            QVERIFY(preview.isRendering());
            QVERIFY(!preview.btnPrinterSetup->isEnabled());
            QVERIFY(!preview.btnPrint->isEnabled());
            QCOMPARE(preview.shownPages().pageCount(), 2);
            QCOMPARE(preview.pageIndex(), 0);
            QCOMPARE(preview.pnlPage->text(), QStringLiteral("Page 1 of 2"));
            // 100 of 150 rows done: 66%, but the panel moved on last at 65%.
            QCOMPARE(preview.pnlProgress->text(), QStringLiteral("65%"));
        };
        preview.renderReport();
        QVERIFY(looked);
        QVERIFY(!preview.isRendering());
        QVERIFY(preview.btnPrinterSetup->isEnabled());
        QVERIFY(preview.btnPrint->isEnabled());
        QCOMPARE(preview.pnlProgress->text(), QString());
        QCOMPARE(preview.pnlPage->text(), QStringLiteral("Page 1 of %1").arg(kPages));
    }

    void emptySelection()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(0));
        TfmPreview preview(definition, source);
        preview.renderReport();
        QCOMPARE(preview.pageIndex(), -1);
        QCOMPARE(preview.pnlPage->text(), QStringLiteral("Page 0 of 0"));
        preview.btnNextPage->click();
        preview.btnLastPage->click();
        QCOMPARE(preview.pageIndex(), -1);
    }

    void closingWhileRenderingStopsIt()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        source.onRow = [&](int row) {
            if (row == 10)
                TfmPreview::previewOf(definition)->close();
        };
        previewReport(definition, source);
        // The renderer stopped after the record under way, and let go of the rows there.
        QCOMPARE(source.highestRowRead, 10);
        QVERIFY(!source.rendering());
        QCOMPARE(source.currentRow(), 10);
        QCOMPARE(TfmPreview::previewOf(definition), nullptr);
    }

    void onePreviewPerReport()
    {
        ReportDefinition definition = previewtest::phoneList();
        ReportDefinition other = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        bool secondReturned = false;
        whenRendered(definition, [&](TfmPreview& preview) {
            preview.showMinimized();
            // Choosing the report again brings its preview back and returns at once.
            previewReport(definition, source);
            secondReturned = true;
            int previews = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                previews += qobject_cast<TfmPreview*>(w) && w->isVisible() ? 1 : 0;
            QCOMPARE(previews, 1);
            QVERIFY(!preview.isMinimized());
            QCOMPARE(TfmPreview::previewOf(other), nullptr);
        });
        previewReport(definition, source);
        QVERIFY(secondReturned);
        // Once closed, the report opens a fresh preview again.
        bool reopened = false;
        whenRendered(definition, [&](TfmPreview&) { reopened = true; });
        previewReport(definition, source);
        QVERIFY(reopened);
    }

    void saveAndLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("phones.trp"));
        ReportDefinition definition = previewtest::phoneList();
        definition.title = QStringLiteral("Kent Phones");
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.renderReport();
        m_fakes.fileDialogs->answers.enqueue(path);
        preview.btnSaveReport->click();
        QCOMPARE(m_fakes.fileDialogs->saved.size(), 1);
        QCOMPARE(m_fakes.fileDialogs->saved.first().title, QStringLiteral("Save report"));
        QVERIFY(QFileInfo::exists(path));

        ReportDefinition empty = labels21Report();
        WatchedSource none(reporttest::numbered(0));
        TfmPreview other(empty, none);
        other.renderReport();
        QCOMPARE(other.windowTitle(), QStringLiteral("Address Labels"));
        m_fakes.fileDialogs->answers.enqueue(path);
        other.btnLoadReport->click();
        QCOMPARE(m_fakes.fileDialogs->opened.first().title, QStringLiteral("Load report"));
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QVERIFY(other.showsLoadedPages());
        // The loaded pages carry their own title.
        QCOMPARE(other.windowTitle(), QStringLiteral("Kent Phones"));
        QVERIFY(other.shownPages() == preview.shownPages());
        QCOMPARE(other.pageIndex(), 0);
        QCOMPARE(other.pnlPage->text(), QStringLiteral("Page 1 of %1").arg(kPages));
        QVERIFY(!other.btnPrinterSetup->isEnabled()); // loaded pages print as they are
        QVERIFY(other.btnPrint->isEnabled());
        other.btnLastPage->click();
        QCOMPARE(other.pageIndex(), kPages - 1);
    }

    void loadFailureKeepsPages_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("File does not exist.");
        QTest::newRow("foreign") << QByteArray("%PDF-1.4 not a report") << QString();
        QTest::newRow("truncated") << QByteArray("TOVRELRP\0\0\0\1", 12) << QString();
    }

    void loadFailureKeepsPages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.trp"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.renderReport();
        preview.showPage(2);
        m_fakes.fileDialogs->answers.enqueue(path);
        preview.btnLoadReport->click();
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().icon, platform::Icon::Error);
        if (!message.isEmpty())
            QCOMPARE(m_fakes.prompts->asked.first().text, message);
        else
            QVERIFY(!m_fakes.prompts->asked.first().text.isEmpty());
        QVERIFY(!preview.showsLoadedPages());
        QCOMPARE(preview.shownPages().pageCount(), kPages);
        QCOMPARE(preview.pageIndex(), 2);
        QVERIFY(preview.btnPrinterSetup->isEnabled());
    }

    // Loading other pages while the report still renders stops that rendering; the loaded pages stay.
    void loadWhileRendering()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("three.trp"));
        {
            WatchedSource three(reporttest::numbered(3));
            saveReport(render(previewtest::phoneList(), three), path);
        }
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        source.onRow = [&](int row) {
            if (row == 50) {
                m_fakes.fileDialogs->answers.enqueue(path);
                preview.btnLoadReport->click();
            }
        };
        preview.renderReport();
        QCOMPARE(source.highestRowRead, 50);
        QVERIFY(preview.showsLoadedPages());
        QCOMPARE(preview.shownPages().pageCount(), 1);
        QCOMPARE(preview.pnlPage->text(), QStringLiteral("Page 1 of 1"));
        QVERIFY(!preview.btnPrinterSetup->isEnabled());
        QVERIFY(preview.btnPrint->isEnabled());
    }

    void saveAsPdf()
    {
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("phones.pdf"));
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.renderReport();
        m_fakes.fileDialogs->answers.enqueue(path);
        preview.btnSavePdf->click();
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QCOMPARE(m_fakes.fileDialogs->saved.first().defaultSuffix, QStringLiteral("pdf"));
        QCOMPARE(previewtest::pdfPages(path), kPages);
        QVERIFY(previewtest::pdfInfo(path, QStringLiteral("Page size")).endsWith(QStringLiteral("(A4)")));
        QCOMPARE(previewtest::pageFooters(path), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4"}));
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
