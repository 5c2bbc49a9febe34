#include "reports/ui/Preview.h"

#include "platform/ui/ErrorBox.h"
#include "reports/PagePainter.h"
#include "reports/ui/PreviewPage.h"
#include "reports/ui/Printing.h"
#include "reports/RecordSource.h"
#include "reports/Renderer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <variant>

namespace {

// The open previews, one per report object.
QHash<const reports::ReportDefinition*, TfmPreview*>& openPreviews()
{
    static QHash<const reports::ReportDefinition*, TfmPreview*> previews;
    return previews;
}

// Follows the scroll area's viewport size, for the zooms that fit the page to it.
class ViewportWatcher : public QObject
{
public:
    ViewportWatcher(QObject* parent, std::function<void()> resized) : QObject(parent), m_resized(std::move(resized)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_resized();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_resized;
};

} // namespace

namespace reports {

void previewReport(ReportDefinition& definition, RecordSource& source)
{
    if (TfmPreview* open = TfmPreview::previewOf(definition)) {
        open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    source.prepare();
    TfmPreview preview(definition, source);
    preview.exec();
}

} // namespace reports

TfmPreview::TfmPreview(reports::ReportDefinition& definition, reports::RecordSource& source, QWidget* parent)
    : QWidget(parent, Qt::Window), m_definition(definition), m_source(source)
{
    setObjectName(QStringLiteral("fmPreview"));
    setWindowTitle(reports::captionFor(definition.title));
    setFocusPolicy(Qt::StrongFocus);
    openPreviews().insert(&definition, this);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFocusPolicy(Qt::NoFocus);
    btnZoomToFit = addButton("btnZoomToFit", QStringLiteral("Whole page"), QStringLiteral("Zoom to fit"), -1);
    btnZoom100 = addButton("btnZoom100", QStringLiteral("100%"), QStringLiteral("100%"), -1);
    btnZoomToWidth = addButton("btnZoomToWidth", QStringLiteral("Page width"), QStringLiteral("Zoom to width"), -1);
    ToolBar1->addSeparator();
    btnFirstPage = addButton("btnFirstPage", {}, QStringLiteral("First page"), QStyle::SP_MediaSkipBackward);
    btnPriorPage = addButton("btnPriorPage", {}, QStringLiteral("Previous page"), QStyle::SP_ArrowLeft);
    btnNextPage = addButton("btnNextPage", {}, QStringLiteral("Next page"), QStyle::SP_ArrowRight);
    btnLastPage = addButton("btnLastPage", {}, QStringLiteral("Last page"), QStyle::SP_MediaSkipForward);
    ToolBar1->addSeparator();
    btnPrinterSetup =
        addButton("btnPrinterSetup", QStringLiteral("Printer setup"), QStringLiteral("Printer setup"), -1);
    btnPrint = addButton("btnPrint", QStringLiteral("Print"), QStringLiteral("Print"), -1);
    ToolBar1->addSeparator();
    btnSaveReport =
        addButton("btnSaveReport", QStringLiteral("Save"), QStringLiteral("Save Report"), QStyle::SP_DialogSaveButton);
    btnSavePdf = addButton("btnSavePdf", QStringLiteral("PDF"), QStringLiteral("Save as PDF"), -1);
    btnLoadReport =
        addButton("btnLoadReport", QStringLiteral("Load"), QStringLiteral("Load Report"), QStyle::SP_DialogOpenButton);
    ToolBar1->addSeparator();
    if (definition.labelsPerSheet > 0) {
        auto* caption = new QLabel(QStringLiteral("Start at label "), ToolBar1);
        spnStartAtLabel = new QSpinBox(ToolBar1);
        spnStartAtLabel->setObjectName(QStringLiteral("spnStartAtLabel"));
        spnStartAtLabel->setRange(1, definition.labelsPerSheet);
        spnStartAtLabel->setValue(std::clamp(definition.startAtLabel, 1, definition.labelsPerSheet));
        spnStartAtLabel->setKeyboardTracking(false); // "15" renders once, not at 1 and then at 15
        spnStartAtLabel->setToolTip(QStringLiteral("Start at label"));
        spnStartAtLabel->setStatusTip(QStringLiteral("Start at label"));
        spnStartAtLabel->setAccessibleName(QStringLiteral("Start at label"));
        caption->setBuddy(spnStartAtLabel);
        ToolBar1->addWidget(caption);
        ToolBar1->addWidget(spnStartAtLabel);
        ToolBar1->addSeparator();
        connect(spnStartAtLabel, &QSpinBox::valueChanged, this, &TfmPreview::spnStartAtLabelChange);
    }
    btnClose = new QPushButton(QStringLiteral("&Close"), ToolBar1);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAutoDefault(false);
    btnClose->setFocusPolicy(Qt::TabFocus);
    ToolBar1->addWidget(btnClose);

    m_zoomGroup = new QButtonGroup(this);
    m_zoomGroup->setExclusive(true);
    for (QToolButton* b : {btnZoomToFit, btnZoom100, btnZoomToWidth}) {
        b->setCheckable(true);
        m_zoomGroup->addButton(b);
    }
    btnZoomToWidth->setChecked(true);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    // The page takes the focus, so that the arrows and PageUp/PageDown scroll it.
    ScrollBox1->setFocusPolicy(Qt::StrongFocus);
    ScrollBox1->setAccessibleName(QStringLiteral("Page"));
    ScrollBox1->setAlignment(Qt::AlignCenter);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    PreviewPage1 = new reports::PreviewPage(ScrollBox1);
    PreviewPage1->setObjectName(QStringLiteral("PreviewPage1"));
    ScrollBox1->setWidget(PreviewPage1);
    ScrollBox1->viewport()->installEventFilter(new ViewportWatcher(this, [this] { applyZoom(); }));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    pnlProgress = new QLabel(StatusBar1);
    pnlProgress->setObjectName(QStringLiteral("pnlProgress"));
    pnlProgress->setMinimumWidth(60);
    pnlPage = new QLabel(StatusBar1);
    pnlPage->setObjectName(QStringLiteral("pnlPage"));
    pnlShortened = new QLabel(StatusBar1);
    pnlShortened->setObjectName(QStringLiteral("pnlShortened"));
    StatusBar1->addWidget(pnlProgress);
    StatusBar1->addWidget(pnlPage, 1);
    StatusBar1->addPermanentWidget(pnlShortened);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(ScrollBox1, 1);
    layout->addWidget(StatusBar1);

    connect(btnZoomToFit, &QToolButton::clicked, this, &TfmPreview::btnZoomToFitClick);
    connect(btnZoom100, &QToolButton::clicked, this, &TfmPreview::btnZoom100Click);
    connect(btnZoomToWidth, &QToolButton::clicked, this, &TfmPreview::btnZoomToWidthClick);
    connect(btnFirstPage, &QToolButton::clicked, this, &TfmPreview::btnFirstPageClick);
    connect(btnPriorPage, &QToolButton::clicked, this, &TfmPreview::btnPriorPageClick);
    connect(btnNextPage, &QToolButton::clicked, this, &TfmPreview::btnNextPageClick);
    connect(btnLastPage, &QToolButton::clicked, this, &TfmPreview::btnLastPageClick);
    connect(btnPrinterSetup, &QToolButton::clicked, this, &TfmPreview::btnPrinterSetupClick);
    connect(btnPrint, &QToolButton::clicked, this, &TfmPreview::btnPrintClick);
    connect(btnSaveReport, &QToolButton::clicked, this, &TfmPreview::btnSaveReportClick);
    connect(btnSavePdf, &QToolButton::clicked, this, &TfmPreview::btnSavePdfClick);
    connect(btnLoadReport, &QToolButton::clicked, this, &TfmPreview::btnLoadReportClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    setFocusProxy(ScrollBox1);
    PreviewPage1->setPage(&m_pages, -1);
    updatePagePanel();
    updateButtons();
}

TfmPreview::~TfmPreview()
{
    auto& previews = openPreviews();
    const auto it = previews.constFind(&m_definition);
    if (it != previews.constEnd() && it.value() == this)
        previews.erase(it);
}

TfmPreview* TfmPreview::previewOf(const reports::ReportDefinition& definition)
{
    return openPreviews().value(&definition, nullptr);
}

QToolButton* TfmPreview::addButton(const char* name, const QString& text, const QString& hint, int standardIcon)
{
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    // Named as it reads on the screen; an icon-only button by its hint. The hint stays as the description.
    button->setAccessibleName(text.isEmpty() ? hint : text);
    if (!text.isEmpty() && text != hint)
        button->setAccessibleDescription(hint);
    button->setFocusPolicy(Qt::TabFocus);
    if (standardIcon >= 0)
        button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon), nullptr, this));
    if (text.isEmpty())
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    else if (standardIcon >= 0)
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    else
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->addWidget(button);
    return button;
}

void TfmPreview::exec()
{
    showMaximized();
    raise();
    activateWindow();
    setFocus();
    try {
        renderReport();
    } catch (...) {
        // A report that cannot be rendered leaves no empty window behind.
        m_stop = true;
        close();
        throw;
    }
    if (isVisible()) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    // Closing drops the rendering.
    PreviewPage1->setPage(nullptr, -1);
    m_pages = reports::Rendering{};
    m_loaded.reset();
}

void TfmPreview::renderReport()
{
    m_rendering = true;
    m_stop = false;
    showProgress(0);
    pnlShortened->clear();
    setFocusProxy(ScrollBox1);
    PreviewPage1->setPage(&m_pages, -1);
    updatePagePanel();
    updateButtons();

    reports::RenderCallbacks callbacks;
    callbacks.progress = [this](int percent) {
        showProgress(percent);
        // The window fills, the progress shows and a close or a cancel takes effect.
        QCoreApplication::processEvents();
    };
    callbacks.pageFinished = [this](int index) { pageFinished(index); };
    callbacks.cancelRequested = [this] { return m_stop; };

    struct Finish
    {
        TfmPreview* window;
        ~Finish()
        {
            window->m_rendering = false;
            window->updateButtons();
        }
    } finish{this};
    reports::render(m_definition, m_source, m_pages, callbacks);
    if (m_pages.finished)
        showProgress(100);
    if (!m_pages.unknownMergeFields.isEmpty())
        pnlProgress->setText(reports::unknownMergeFieldsText(m_pages));
    updateShortened();
}

void TfmPreview::updateShortened()
{
    pnlShortened->setText(m_loaded ? QString() : reports::shortenedNotice(m_pages.shortened));
}

void TfmPreview::updateCaption()
{
    setWindowTitle(reports::captionFor(m_loaded ? m_loaded->title : m_definition.title));
}

const reports::Rendering& TfmPreview::shownPages() const
{
    return m_loaded ? *m_loaded : m_pages;
}

int TfmPreview::pageIndex() const
{
    return PreviewPage1->pageIndex();
}

double TfmPreview::pixelsPerMm() const
{
    return PreviewPage1->pixelsPerMm();
}

void TfmPreview::showProgress(int percent)
{
    if (percent <= 0 || percent >= 100) {
        pnlProgress->clear();
        m_progressShown = 0;
        return;
    }
    if (percent - m_progressShown >= 5) {
        m_progressShown = percent;
        pnlProgress->setText(QString::number(percent) + QLatin1Char('%'));
    }
}

void TfmPreview::pageFinished(int index)
{
    if (!m_loaded && PreviewPage1->pageIndex() < 0 && index == 0)
        showPage(0);
    else
        updatePagePanel();
}

void TfmPreview::showPage(int index)
{
    const reports::Rendering& pages = shownPages();
    if (pages.pageCount() == 0)
        index = -1;
    else
        index = std::clamp(index, 0, pages.pageCount() - 1);
    const bool moved = index != PreviewPage1->pageIndex();
    PreviewPage1->setPage(&pages, index);
    applyZoom();
    if (moved) {
        ScrollBox1->verticalScrollBar()->setValue(0);
        ScrollBox1->horizontalScrollBar()->setValue(0);
    }
    updatePagePanel();
}

namespace {

// A page's words as a reader takes them: line by line from the top, left to right within a line.
QString pageText(const reports::Rendering& pages, int index)
{
    if (index < 0 || index >= pages.pageCount())
        return {};
    struct Piece
    {
        double top;
        double left;
        QString text;
    };
    std::vector<Piece> pieces;
    for (const reports::PageItem& item : pages.pages[std::size_t(index)].items) {
        if (const auto* text = std::get_if<reports::TextItem>(&item))
            pieces.push_back({text->box.top(), text->box.left(), text->text});
        else if (const auto* rich = std::get_if<reports::RichTextItem>(&item);
                 rich && rich->content >= 0 && std::size_t(rich->content) < pages.richTexts().size())
            pieces.push_back({rich->rect.top(), rich->rect.left(),
                              QTextDocumentFragment::fromHtml(pages.richTexts()[std::size_t(rich->content)])
                                  .toPlainText()});
    }
    // Texts whose tops lie within a millimetre share a line.
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return std::abs(a.top - b.top) > 1.0 ? a.top < b.top : a.left < b.left;
    });
    QString out;
    double lineTop = -1e9;
    for (const Piece& p : pieces) {
        if (p.text.trimmed().isEmpty())
            continue;
        if (!out.isEmpty())
            out += std::abs(p.top - lineTop) > 1.0 ? QLatin1Char('\n') : QLatin1Char(' ');
        if (std::abs(p.top - lineTop) > 1.0)
            lineTop = p.top;
        out += p.text;
    }
    return out;
}

} // namespace

void TfmPreview::updatePagePanel()
{
    pnlPage->setText(QStringLiteral("Page %1 of %2").arg(PreviewPage1->pageIndex() + 1).arg(shownPages().pageCount()));
    // The page is a picture: a reader gets where it is, which report, and the page's words.
    const QString title = m_loaded ? m_loaded->title : m_definition.title;
    QStringList name{pnlPage->text()};
    if (!title.isEmpty())
        name << title;
    ScrollBox1->setAccessibleName(PreviewPage1->pageIndex() < 0 ? QStringLiteral("Page")
                                                                : name.join(QStringLiteral(", ")));
    ScrollBox1->setAccessibleDescription(pageText(shownPages(), PreviewPage1->pageIndex()));
}

void TfmPreview::updateButtons()
{
    const bool busy = m_rendering || m_printing;
    btnPrinterSetup->setEnabled(!busy && !m_loaded);
    btnPrint->setEnabled(!busy);
    if (spnStartAtLabel)
        spnStartAtLabel->setEnabled(!busy && !m_loaded);
}

void TfmPreview::spnStartAtLabelChange(int label)
{
    m_definition.startAtLabel = label;
    if (!m_rendering && !m_printing && !m_loaded)
        platform::guard([this] { renderReport(); });
}

void TfmPreview::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    QToolButton* button = zoom == Zoom::ToFit ? btnZoomToFit : zoom == Zoom::Actual ? btnZoom100 : btnZoomToWidth;
    button->setChecked(true);
    applyZoom();
}

void TfmPreview::applyZoom()
{
    QSizeF page = PreviewPage1->pageSizeMm();
    if (page.isEmpty())
        page = m_definition.pageSize();
    const QSize viewport = ScrollBox1->maximumViewportSize();
    const double desk = 2.0 * reports::PreviewPage::kDeskMargin;
    double pixelsPerMm = 1.0;
    switch (m_zoom) {
    case Zoom::Actual:
        pixelsPerMm = reports::devicePixelsPerMm(*this);
        break;
    case Zoom::ToFit:
        pixelsPerMm = std::min((viewport.width() - desk) / page.width(), (viewport.height() - desk) / page.height());
        break;
    case Zoom::ToWidth: {
        double width = viewport.width() - desk;
        // A page taller than the window brings a vertical scroll bar, which takes its width from the page.
        if (width / page.width() * page.height() + desk > viewport.height())
            width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBox1);
        pixelsPerMm = width / page.width();
        break;
    }
    }
    PreviewPage1->setPixelsPerMm(std::max(0.2, pixelsPerMm));
}

void TfmPreview::btnZoomToFitClick()
{
    setZoom(Zoom::ToFit);
}

void TfmPreview::btnZoom100Click()
{
    setZoom(Zoom::Actual);
}

void TfmPreview::btnZoomToWidthClick()
{
    setZoom(Zoom::ToWidth);
}

void TfmPreview::btnFirstPageClick()
{
    showPage(0);
}

void TfmPreview::btnPriorPageClick()
{
    if (pageIndex() > 0)
        showPage(pageIndex() - 1);
}

void TfmPreview::btnNextPageClick()
{
    if (pageIndex() + 1 < shownPages().pageCount())
        showPage(pageIndex() + 1);
}

void TfmPreview::btnLastPageClick()
{
    showPage(shownPages().pageCount() - 1);
}

void TfmPreview::closeEvent(QCloseEvent* event)
{
    // The progress window has the say while printing.
    if (m_printing) {
        event->ignore();
        return;
    }
    m_stop = true;
    auto& previews = openPreviews();
    const auto it = previews.constFind(&m_definition);
    if (it != previews.constEnd() && it.value() == this)
        previews.erase(it);
    if (m_loop)
        m_loop->quit();
    event->accept();
}

void TfmPreview::keyPressEvent(QKeyEvent* event)
{
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_PageUp:
        control ? btnFirstPageClick() : btnPriorPageClick();
        return;
    case Qt::Key_PageDown:
        control ? btnLastPageClick() : btnNextPageClick();
        return;
    case Qt::Key_Home:
        btnFirstPageClick();
        return;
    case Qt::Key_End:
        btnLastPageClick();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        ScrollBox1->verticalScrollBar()->triggerAction(
            event->key() == Qt::Key_Up ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        ScrollBox1->horizontalScrollBar()->triggerAction(
            event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TfmPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyZoom();
}
