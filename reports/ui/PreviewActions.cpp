// The preview's print, save and load commands.
#include "reports/ui/Preview.h"

#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "reports/PagePainter.h"
#include "reports/ui/PreviewPage.h"
#include "reports/ui/PrintProgress.h"
#include "reports/ui/Printing.h"
#include "reports/ReportFile.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPrinter>
#include <QToolButton>

void TfmPreview::btnPrinterSetupClick()
{
    if (m_rendering || m_printing || m_loaded)
        return;
    platform::guard([this] {
        QPrinter printer(QPrinter::HighResolution);
        reports::applyDialogSettings(m_definition, printer);
        // Cancel leaves the report's settings as they were.
        if (platform::printDialogs().print(this, printer, m_pages.pageCount()))
            reports::takePrintSettings(printer, m_definition);
    });
}

void TfmPreview::btnPrintClick()
{
    if (m_rendering || m_printing)
        return;
    platform::guard([this] {
        if (!platform::printDialogs().hasPrinter()) {
            platform::prompts().message(
                this, QStringLiteral("Information"),
                QStringLiteral("There is no printer installed, so the report cannot be printed."),
                platform::Icon::Information, platform::Buttons::Ok);
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        reports::applyPrintSettings(m_definition, printer);
        // Loaded pages carry their own title into the print job.
        if (m_loaded)
            printer.setDocName(reports::captionFor(m_loaded->title));
        if (printerReady)
            printerReady(printer);
        // Loaded pages print as they are, all of them: their page count need not be the report's.
        if (m_loaded) {
            reports::sendPages(*m_loaded, reports::PageRange{}, printer);
            return;
        }

        m_printing = true;
        updateButtons();
        struct Finish
        {
            TfmPreview* window;
            ~Finish()
            {
                window->m_printing = false;
                window->updateButtons();
            }
        } finish{this};
        TfmPrintProgress progress(this);
        progress.show();
        reports::RenderCallbacks callbacks;
        callbacks.progress = [&progress](int percent) {
            progress.setProgress(percent);
            if (percent >= 100)
                progress.sending();
            QCoreApplication::processEvents();
        };
        callbacks.cancelRequested = [&progress] { return progress.cancelRequested(); };
        reports::printReport(m_definition, m_source, printer, callbacks);
    });
}

void TfmPreview::btnSaveReportClick()
{
    platform::guard([this] {
        const QString path = platform::fileDialogs().saveFile(
            this, {QStringLiteral("Save report"), {}, {}, reports::reportFileFilter(), reports::reportFileSuffix()});
        if (!path.isEmpty())
            reports::saveReport(shownPages(), path);
    });
}

void TfmPreview::btnSavePdfClick()
{
    platform::guard([this] {
        const QString path = platform::fileDialogs().saveFile(
            this, {QStringLiteral("Save as PDF"), {}, {}, QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf")});
        if (!path.isEmpty())
            reports::writePdf(shownPages(), path);
    });
}

void TfmPreview::btnLoadReportClick()
{
    if (m_printing)
        return;
    platform::guard([this] {
        const QString path = platform::fileDialogs().openFile(
            this, {QStringLiteral("Load report"), {}, {}, reports::reportFileFilter(), {}});
        if (path.isEmpty())
            return;
        // Read in full before anything changes: a file that cannot be read keeps the pages shown.
        reports::Rendering loaded = reports::loadReport(path);
        // The report's own pages are no longer shown: a rendering still under way stops.
        m_stop = true;
        m_loaded = std::move(loaded);
        showProgress(0);
        PreviewPage1->setPage(nullptr, -1);
        showPage(0);
        updateButtons();
        updateShortened();
        updateCaption();
    });
}
