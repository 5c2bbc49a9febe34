// The label, Filofax and diary reports in the program: the Reports menu runs each into its preview, label
// previews offer "Start at label", and the batch command writes each as a PDF.
#include "PreviewTestUtil.h"

#include "app/Application.h"
#include "mainwindow/MainWindow.h"
#include "platform/Fakes.h"
#include "platform/ProgramFolder.h"
#include "reports/ui/Preview.h"
#include "reports/layouts/FilofaxPages.h"
#include "reports/layouts/AddressLabels21.h"
#include "support/TestDb.h"

#include <QAction>
#include <QApplication>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace reports;
using previewtest::WatchedSource;

namespace {

constexpr int kContacts = 22;

TfmPreview* openPreview()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<TfmPreview*>(w); preview && preview->isVisible())
            return preview;
    return nullptr;
}

// Runs `action` once a preview is open and its rendering is over, then closes it so the command returns.
void whenRendered(std::function<void(TfmPreview&)> action)
{
    QTimer::singleShot(0, [action] {
        TfmPreview* preview = openPreview();
        if (!preview || preview->isRendering()) {
            whenRendered(action);
            return;
        }
        action(*preview);
        preview->close();
    });
}

// Where the first label of the shown pages begins, less the memo's offset.
QPointF firstLabel(const TfmPreview& preview)
{
    const ReportDefinition& d = preview.definition();
    const Element& memo = d.band(BandKind::Detail)->elements.at(0);
    const auto items = reporttest::texts(preview.shownPages().pages.at(0));
    return items.empty() ? QPointF() : items.front().box.topLeft() - QPointF(memo.left, memo.top);
}

bool near(QPointF a, QPointF b)
{
    return reporttest::near(a.x(), b.x(), 0.1) && reporttest::near(a.y(), b.y(), 0.1);
}

} // namespace

class TestLabelPreview : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<app::Application> m_application;

private slots:
    void initTestCase()
    {
        QList<testsupport::Contact> contacts;
        for (int i = 1; i <= kContacts; ++i)
            contacts << testsupport::Contact{
                {QStringLiteral("Surname"), QStringLiteral("Name%1").arg(i, 2, 10, QChar(u'0'))},
                {QStringLiteral("Town"), QStringLiteral("Bath")}};
        testsupport::makeDatabase(m_dir.filePath(QStringLiteral("Tovrel.mdb")), contacts);
        testsupport::makeCountyList(m_dir.path());
        platform::setProgramFolder(m_dir.path());
        platform::installFakes();
        m_application = std::make_unique<app::Application>();
        m_application->startUp();
        QVERIFY(m_application->store.HomeQuery.isOpen());
    }
    void cleanupTestCase() { m_application.reset(); }

    // Each Reports menu entry runs its report from the shared selection into the report's own preview.
    void menuEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("startAtLabel");
        QTest::newRow("21 per sheet") << "miLabels21"
                                      << "QRLabel"
                                      << "Address Labels" << 2 << true;
        QTest::newRow("16 per sheet") << "miLabels16"
                                      << "QRLabel16Rep"
                                      << "Print Preview" << 2 << true;
        QTest::newRow("14 per sheet") << "miLabels14"
                                      << "QRLabel14"
                                      << "Print Preview" << 2 << true;
        QTest::newRow("Filofax") << "miFiloFax"
                                 << "fmQRFilo2"
                                 << "Print Preview" << 3 << false;
        QTest::newRow("A5 diary") << "miA5Diary"
                                  << "QRA5Diary"
                                  << "Print Preview" << 2 << false;
    }
    void menuEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, report);
        QFETCH(QString, caption);
        QFETCH(int, pages);
        QFETCH(bool, startAtLabel);
        auto* action = m_application->fmHomeAddMain->findChild<QAction*>(entry);
        QVERIFY(action);
        m_application->store.HomeQuery.first();
        bool looked = false;
        whenRendered([&](TfmPreview& preview) {
            looked = true;
            QCOMPARE(preview.definition().name, report);
            QCOMPARE(preview.windowTitle(), caption);
            QCOMPARE(preview.shownPages().pageCount(), pages);
            QCOMPARE(preview.spnStartAtLabel != nullptr, startAtLabel);
        });
        action->trigger(); // returns when the preview has closed
        QVERIFY(looked);
        // The preview leaves the current contact where it was.
        QCOMPARE(m_application->store.HomeQuery.currentText(QStringLiteral("Surname")), QStringLiteral("Name01"));
    }

    // The start label is offered from 1 to the labels of a sheet, renders the pages anew when changed, and stays
    // with the report for its next preview.
    void startAtLabel()
    {
        ReportDefinition& labels = m_application->fmLabels->QRLabel;
        labels.startAtLabel = 1;
        whenRendered([](TfmPreview& preview) {
            QSpinBox* spin = preview.spnStartAtLabel;
            QVERIFY(spin && spin->isEnabled());
            QCOMPARE(spin->minimum(), 1);
            QCOMPARE(spin->maximum(), 21);
            QCOMPARE(spin->value(), 1);
            QVERIFY(near(firstLabel(preview), QPointF(12.0, 18.0)));
            spin->setValue(8);
            QVERIFY(!preview.isRendering());
            QVERIFY(near(firstLabel(preview), QPointF(76.3, 18.0))); // column 2, row 1
            QCOMPARE(preview.shownPages().pageCount(), 2);           // 22 from label 8: 14 on the first sheet
            QCOMPARE(preview.pageIndex(), 0);
        });
        m_application->runCommand(platform::Command::Labels21);
        QCOMPARE(labels.startAtLabel, 8);

        whenRendered([](TfmPreview& preview) {
            QCOMPARE(preview.spnStartAtLabel->value(), 8);
            QVERIFY(near(firstLabel(preview), QPointF(76.3, 18.0)));
        });
        m_application->runCommand(platform::Command::Labels21);
        // Each label report keeps its own.
        QCOMPARE(m_application->fmLabels->QRLabel14.startAtLabel, 1);
        labels.startAtLabel = 1;
    }

    // The start label cannot change under a rendering under way.
    void startAtLabelWaitsForTheRendering()
    {
        ReportDefinition definition = labels21Report();
        WatchedSource source(reporttest::numbered(30));
        TfmPreview preview(definition, source);
        preview.show();
        bool looked = false;
        source.onRow = [&](int row) {
            if (row == 10) {
                looked = true;
                QVERIFY(!preview.spnStartAtLabel->isEnabled());
            }
        };
        preview.renderReport();
        QVERIFY(looked);
        QVERIFY(preview.spnStartAtLabel->isEnabled());
    }

    // The batch command writes every layout; the diary on landscape sheets.
    void batch_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("pageSize");
        QTest::newRow("labels-21") << "labels-21" << 2 << "595 x 842 pts (A4)";
        QTest::newRow("labels-16") << "labels-16" << 2 << "595 x 842 pts (A4)";
        QTest::newRow("labels-14") << "labels-14" << 2 << "595 x 842 pts (A4)";
        QTest::newRow("filofax") << "filofax" << 3 << "595 x 842 pts (A4)";
        QTest::newRow("diary") << "diary" << 2 << "842 x 595 pts (A4)";
    }
    void batch()
    {
        QFETCH(QString, report);
        QFETCH(int, pages);
        QFETCH(QString, pageSize);
        if (!previewtest::hasPoppler())
            QSKIP("pdfinfo (poppler-utils) is not installed");
        const QString pdf = m_dir.filePath(report + QStringLiteral(".pdf"));
        QProcess process;
        process.start(QStringLiteral(TOVREL_BINARY),
                      {QStringLiteral("--folder"), m_dir.path(), QStringLiteral("--report"), report,
                       QStringLiteral("--pdf"), pdf});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(previewtest::pdfPages(pdf), pages);
        QCOMPARE(previewtest::pdfInfo(pdf, QStringLiteral("Page size")), pageSize);
        QVERIFY(previewtest::pdfText(pdf).contains(QStringLiteral("Name22")));
    }
};

QTEST_MAIN(TestLabelPreview)
#include "tst_labelpreview.moc"
