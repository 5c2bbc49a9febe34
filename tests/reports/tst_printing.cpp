// Printing from the preview: the print dialog's settings, the page range, positions on the paper, the printing
// progress window with its Cancel, and a machine without printers. The printer writes PDF files here; the test
// with a real print server is tst_cups.
#include "PreviewTestUtil.h"

#include "platform/Fakes.h"
#include "reports/stocks/SettingsStore.h"
#include "reports/PagePainter.h"
#include "reports/ui/Preview.h"
#include "reports/ui/PrintProgress.h"
#include "reports/ui/Printing.h"
#include "reports/layouts/PhoneList.h"
#include "reports/Renderer.h"
#include "reports/ReportFile.h"

#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace reports;
using previewtest::WatchedSource;

namespace {

constexpr int kContacts = 150; // four phone list pages

void toPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
}

// Where pdftotext finds the first word with this text, in points from the page's top-left corner.
QRectF wordBox(const QString& pdf, const QString& word)
{
    const QString html = previewtest::run(QStringLiteral("pdftotext"),
                                          {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                           QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                               "yMax=\"([\\d.]+)\">") +
                                QRegularExpression::escape(word) + QStringLiteral("</word>"));
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch())
        return {};
    return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                  QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

    platform::Fakes m_fakes{};
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed");
    }

    void init() { m_fakes = platform::installFakes(); }

    void printDialog_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("allPages");
        QTest::newRow("OK with pages 2 to 3") << true << false;
        QTest::newRow("OK with all pages") << true << true;
        QTest::newRow("Cancel") << false << false;
    }

    void printDialog()
    {
        QFETCH(bool, ok);
        QFETCH(bool, allPages);
        ReportDefinition definition = previewtest::phoneList();
        definition.pageRange = {3, 4}; // chosen in an earlier print dialog
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.renderReport();
        QPrinter::PrintRange rangeShown = QPrinter::AllPages;
        int fromShown = 0;
        m_fakes.printDialogs->onPrint = [&](QPrinter& printer) {
            rangeShown = printer.printRange();
            fromShown = printer.fromPage();
            printer.setCopyCount(3);
            printer.setPageOrientation(QPageLayout::Landscape);
            if (allPages) {
                printer.setPrintRange(QPrinter::AllPages);
            } else {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(2, 3);
            }
            return ok;
        };
        preview.btnPrinterSetup->click();
        QCOMPARE(m_fakes.printDialogs->printAsked, 1);
        QCOMPARE(rangeShown, QPrinter::PageRange);
        QCOMPARE(fromShown, 3);
        QCOMPARE(definition.copies, ok ? 3 : 1);
        QCOMPARE(definition.orientation, ok ? Orientation::Landscape : Orientation::Portrait);
        const PageRange expected = !ok ? PageRange{3, 4} : allPages ? PageRange{} : PageRange{2, 3};
        QCOMPARE(definition.pageRange, expected);
    }

    void pageRange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("all") << 0 << 0 << QStringList{"Page 1", "Page 2", "Page 3", "Page 4"};
        QTest::newRow("2 to 3") << 2 << 3 << QStringList{"Page 2", "Page 3"};
        QTest::newRow("past the end") << 3 << 9 << QStringList{"Page 3", "Page 4"};
        QTest::newRow("after the last page") << 5 << 6 << QStringList();
    }

    void pageRange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, printed);
        ReportDefinition definition = previewtest::phoneList();
        definition.pageRange = {from, to};
        WatchedSource source(reporttest::numbered(kContacts));
        const QString path = m_dir.filePath(QStringLiteral("range%1-%2.pdf").arg(from).arg(to));
        QPrinter printer(QPrinter::HighResolution);
        applyPrintSettings(definition, printer);
        toPdf(printer, path);
        const PrintOutcome outcome = printReport(definition, source, printer);
        QCOMPARE(outcome.pagesRendered, 4);
        QCOMPARE(outcome.pagesSent, int(printed.size()));
        if (printed.isEmpty()) {
            QVERIFY(!QFileInfo::exists(path)); // no job at all, not an empty page
            return;
        }
        QCOMPARE(previewtest::pdfPages(path), int(printed.size()));
        QCOMPARE(previewtest::pageFooters(path), printed);
    }

    // A printer whose printable area starts inside the paper still puts everything where the layout has it.
    void positionsOnThePaper()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        const Rendering rendering = render(definition, source);
        const QString exact = m_dir.filePath(QStringLiteral("exact.pdf"));
        writePdf(rendering, exact);

        const QString printed = m_dir.filePath(QStringLiteral("margins.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        applyPrintSettings(definition, printer);
        toPdf(printer, printed);
        printer.setPageMargins(QMarginsF(12, 15, 12, 15), QPageLayout::Millimeter);
        QCOMPARE(sendPages(rendering, {}, printer), 1);
        for (const QString& word : {QStringLiteral("Tovrel"), QStringLiteral("Surname"), QStringLiteral("Name1")}) {
            const QRectF want = wordBox(exact, word);
            const QRectF got = wordBox(printed, word);
            QVERIFY2(!want.isNull() && !got.isNull(), qPrintable(word));
            QVERIFY2(qAbs(want.left() - got.left()) < 0.05 && qAbs(want.top() - got.top()) < 0.05,
                     qPrintable(QStringLiteral("%1 at %2,%3 instead of %4,%5")
                                    .arg(word)
                                    .arg(got.left())
                                    .arg(got.top())
                                    .arg(want.left())
                                    .arg(want.top())));
        }
    }

    // Label and envelope printouts move by the offset measured for the printer, and envelopes fed long edge first
    // go to the printer unturned.
    void printerAdjustment_data()
    {
        QTest::addColumn<bool>("longEdgeFirst");
        QTest::newRow("short edge first") << false;
        QTest::newRow("long edge first") << true;
    }

    void printerAdjustment()
    {
        QFETCH(bool, longEdgeFirst);
        EnvelopeOptions options;
        options.longEdgeFirst = longEdgeFirst;
        ReportDefinition definition = envelopesReport(*StockCatalogue::builtIn().envelope(QStringLiteral("DL")), options);
        auto settings = std::make_shared<MemorySettingsStore>();
        WatchedSource source(reporttest::numbered(1));
        const QString exact = m_dir.filePath(QStringLiteral("envelope.pdf"));
        writePdf(render(definition, source), exact);

        const QString printed = m_dir.filePath(QStringLiteral("shifted.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        applyPrintSettings(definition, printer);
        toPdf(printer, printed);
        setPrinterShift(*settings, printer.printerName(), QPointF(2.5, -1.5));
        applyPrinterShifts(definition, settings);
        QCOMPARE(printReport(definition, source, printer).pagesSent, 1);
        QCOMPARE(printer.pageLayout().orientation(), longEdgeFirst ? QPageLayout::Portrait : QPageLayout::Landscape);
        const QRectF want = wordBox(exact, QStringLiteral("Name1"));
        const QRectF got = wordBox(printed, QStringLiteral("Name1"));
        QVERIFY(!want.isNull() && !got.isNull());
        const double point = 72 / 25.4;
        QVERIFY2(qAbs(want.left() - 2.5 * point - got.left()) < 0.05 && qAbs(want.top() + 1.5 * point - got.top()) < 0.05,
                 qPrintable(QStringLiteral("at %1,%2 instead of %3,%4")
                                .arg(got.left())
                                .arg(got.top())
                                .arg(want.left() - 2.5 * point)
                                .arg(want.top() + 1.5 * point)));
    }

    // Print renders anew from the rows as they are now, and names the job after the report.
    void printRendersAnew()
    {
        ReportDefinition definition = previewtest::phoneList();
        definition.title = QStringLiteral("Tovrel Phones");
        WatchedSource source(reporttest::numbered(3));
        TfmPreview preview(definition, source);
        preview.renderReport();
        QCOMPARE(preview.shownPages().pageCount(), 1);
        for (int i = 4; i <= kContacts; ++i)
            source.addRow({QStringLiteral("Name%1").arg(i)});

        const QString path = m_dir.filePath(QStringLiteral("anew.pdf"));
        preview.printerReady = [&](QPrinter& printer) { toPdf(printer, path); };
        QString caption;
        QString line;
        bool printSetupDisabled = false;
        source.onRow = [&](int row) {
            if (row != 120)
                return;
            auto* progress = preview.findChild<TfmPrintProgress*>();
            QVERIFY(progress && progress->isVisible());
            caption = progress->windowTitle();
            line = progress->lblCompleted->text();
            printSetupDisabled = !preview.btnPrinterSetup->isEnabled() && !preview.btnPrint->isEnabled();
        };
        preview.btnPrint->click();
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QCOMPARE(caption, QStringLiteral("Printing progress"));
        QCOMPARE(line, QStringLiteral("80%  Completed")); // 120 of 150 rows done
        QVERIFY(printSetupDisabled);
        QCOMPARE(previewtest::pdfPages(path), 4);
        QCOMPARE(previewtest::pdfInfo(path, QStringLiteral("Title")), QStringLiteral("Tovrel Phones"));
        QCOMPARE(preview.shownPages().pageCount(), 1); // the preview keeps its own pages
        QVERIFY(preview.findChild<TfmPrintProgress*>() == nullptr);
        QVERIFY(preview.btnPrint->isEnabled());
    }

    void progressLine_data()
    {
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("every multiple of 5") << QList<int>{1, 4, 5, 6, 10} << QStringList{"0", "0", "5", "5", "10"};
        QTest::newRow("jumping over one") << QList<int>{33, 34, 66, 100} << QStringList{"33", "33", "66", "100"};
    }

    void progressLine()
    {
        QFETCH(QList<int>, values);
        QFETCH(QStringList, lines);
        TfmPrintProgress progress;
        QCOMPARE(progress.lblCompleted->text(), QStringLiteral("0%  Completed"));
        QStringList seen;
        for (int value : values) {
            progress.setProgress(value);
            QCOMPARE(progress.ProgressBar1->value(),
                     progress.lblCompleted->text().section(QLatin1Char('%'), 0, 0).toInt());
            seen << progress.lblCompleted->text().section(QLatin1Char('%'), 0, 0);
        }
        QCOMPARE(seen, lines);
    }

    void cancelStopsPrinting()
    {
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(kContacts));
        TfmPreview preview(definition, source);
        preview.show();
        preview.renderReport();
        const QString path = m_dir.filePath(QStringLiteral("cancelled.pdf"));
        preview.printerReady = [&](QPrinter& printer) { toPdf(printer, path); };
        source.onRow = [&](int row) {
            if (row == 40)
                preview.findChild<TfmPrintProgress*>()->btnCancel->click();
        };
        preview.btnPrint->click();
        QCOMPARE(source.highestRowRead, 40);
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(m_fakes.prompts->asked.isEmpty());
        QVERIFY(preview.isVisible());
        QVERIFY(preview.btnPrint->isEnabled());
        QCOMPARE(preview.shownPages().pageCount(), 4);
    }

    void noPrinterInstalled()
    {
        m_fakes.printDialogs->printerInstalled = false;
        ReportDefinition definition = previewtest::phoneList();
        WatchedSource source(reporttest::numbered(3));
        TfmPreview preview(definition, source);
        preview.renderReport();
        bool printed = false;
        preview.printerReady = [&](QPrinter&) { printed = true; };
        preview.btnPrint->click();
        QVERIFY(!printed);
        QCOMPARE(m_fakes.prompts->asked.size(), 1);
        QCOMPARE(m_fakes.prompts->asked.first().caption, QStringLiteral("Information"));
        QCOMPARE(m_fakes.prompts->asked.first().icon, platform::Icon::Information);
    }

    // Loaded pages print as they are: all of them, whatever range the report keeps for its own pages, under
    // their own title.
    void loadedPagesPrintAsTheyAre()
    {
        const QString saved = m_dir.filePath(QStringLiteral("four.trp"));
        {
            WatchedSource four(reporttest::numbered(kContacts));
            ReportDefinition titled = previewtest::phoneList();
            titled.title = QStringLiteral("Kent Phones");
            saveReport(render(titled, four), saved);
        }
        ReportDefinition definition = previewtest::phoneList();
        definition.pageRange = {2, 3};
        WatchedSource source(reporttest::numbered(3));
        TfmPreview preview(definition, source);
        preview.renderReport();
        m_fakes.fileDialogs->answers.enqueue(saved);
        preview.btnLoadReport->click();
        QVERIFY(preview.showsLoadedPages());
        const QString path = m_dir.filePath(QStringLiteral("loaded.pdf"));
        QString job;
        preview.printerReady = [&](QPrinter& printer) {
            job = printer.docName();
            toPdf(printer, path);
        };
        source.onRow = [](int) { QFAIL("loaded pages are not rendered again"); };
        preview.btnPrint->click();
        QCOMPARE(previewtest::pageFooters(path), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4"}));
        QCOMPARE(job, QStringLiteral("Kent Phones")); // the job is named after the loaded pages
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
