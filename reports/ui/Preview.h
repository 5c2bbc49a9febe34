#pragma once

// The report preview: form `TfmPreview`.

#include "reports/Pages.h"
#include "reports/ReportDefinition.h"

#include <QWidget>
#include <functional>
#include <optional>

class QButtonGroup;
class QEventLoop;
class QLabel;
class QPrinter;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace reports {

class PreviewPage;
class RecordSource;

// Runs a report into its preview window and returns when that window is closed; the other windows stay usable
// meanwhile. One preview per report object at a time: where the report's preview is open already, it comes to
// the front and the call returns at once. Throws platform::AppError where the report cannot be rendered.
void previewReport(ReportDefinition& definition, RecordSource& source);

} // namespace reports

// The preview of one report: its pages as they are rendered, zoom and page turning, the print dialog and
// printing, saving the pages as a report file or a PDF, and loading a saved report in their place.
class TfmPreview : public QWidget
{
    Q_OBJECT
public:
    enum class Zoom { ToFit, Actual, ToWidth };

    TfmPreview(reports::ReportDefinition& definition, reports::RecordSource& source, QWidget* parent = nullptr);
    ~TfmPreview() override;

    // The open preview of a report; null where it has none.
    [[nodiscard]] static TfmPreview* previewOf(const reports::ReportDefinition& definition);

    // Opens maximised, renders the report into the window and waits until the window is closed.
    void exec();
    // Renders the report into the window: the pages appear as they are made, and the events of the program are
    // handled after every record. Returns when the rendering has finished, was stopped or the window closed.
    void renderReport();

    // The pages shown: the report's rendering, or the pages of a loaded report.
    [[nodiscard]] const reports::Rendering& shownPages() const;
    [[nodiscard]] bool showsLoadedPages() const { return m_loaded.has_value(); }
    [[nodiscard]] bool isRendering() const { return m_rendering; }
    [[nodiscard]] int pageIndex() const; // 0-based; -1 while there is no page
    [[nodiscard]] Zoom zoom() const { return m_zoom; }
    [[nodiscard]] double pixelsPerMm() const;
    [[nodiscard]] reports::ReportDefinition& definition() const { return m_definition; }

    // Called with the printer just before the pages go to it (tests send them to a PDF file).
    std::function<void(QPrinter&)> printerReady;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* btnZoomToFit = nullptr;
    QToolButton* btnZoom100 = nullptr;
    QToolButton* btnZoomToWidth = nullptr;
    QToolButton* btnFirstPage = nullptr;
    QToolButton* btnPriorPage = nullptr;
    QToolButton* btnNextPage = nullptr;
    QToolButton* btnLastPage = nullptr;
    QToolButton* btnPrinterSetup = nullptr;
    QToolButton* btnPrint = nullptr;
    QToolButton* btnSaveReport = nullptr;
    QToolButton* btnSavePdf = nullptr;
    QToolButton* btnLoadReport = nullptr;
    QSpinBox* spnStartAtLabel = nullptr; // label reports only: the first label to use on a part-used sheet
    QPushButton* btnClose = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    reports::PreviewPage* PreviewPage1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* pnlProgress = nullptr; // first status panel: the rendering's progress
    QLabel* pnlPage = nullptr;     // second status panel: "Page N of M"
    QLabel* pnlShortened = nullptr; // third status panel: how many values were shortened to fit

    void btnZoomToFitClick();
    void btnZoom100Click();
    void btnZoomToWidthClick();
    void btnFirstPageClick();
    void btnPriorPageClick();
    void btnNextPageClick();
    void btnLastPageClick();
    void btnPrinterSetupClick();
    void btnPrintClick();
    void btnSaveReportClick();
    void btnSavePdfClick();
    void btnLoadReportClick();
    // Keeps the start label with the report and renders the pages anew from it.
    void spnStartAtLabelChange(int label);

    // The first status panel: the rendering's progress as "N%", moved on only when it has grown by at least 5
    // since it was last shown; empty at 0 and at 100.
    void showProgress(int percent);
    void showPage(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* addButton(const char* name, const QString& text, const QString& hint, int standardIcon);
    void setZoom(Zoom zoom);
    void applyZoom();
    void pageFinished(int index);
    void updatePagePanel();
    void updateButtons();
    void updateShortened();
    // The caption: the title of the pages shown, or "Print Preview" where they have none.
    void updateCaption();

    reports::ReportDefinition& m_definition;
    reports::RecordSource& m_source;
    reports::Rendering m_pages;                 // the report's rendering for this preview
    std::optional<reports::Rendering> m_loaded; // pages loaded from a file, shown instead
    QButtonGroup* m_zoomGroup = nullptr;
    Zoom m_zoom = Zoom::ToWidth;
    int m_progressShown = 0;
    bool m_rendering = false;
    bool m_stop = false; // closed, or other pages loaded: the rendering stops
    bool m_printing = false;
    QEventLoop* m_loop = nullptr;
};
