#include "reports/ui/StockLabels.h"

#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "reports/ui/Preview.h"
#include "reports/ui/SheetPicture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace reports;

namespace {

constexpr int kCustomRole = Qt::UserRole + 1; // 0: catalogue stock, 1: kept stock, 2: "Custom…"

constexpr std::array<const char*, 7> LineCaptions = {"&Name", "A&ddress lines", "&Village", "&Town", "C&ounty", "Postcod&e",
                                     "Co&untry"};

QDoubleSpinBox* mmBox(QWidget* parent, const char* name, double low = -1000)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    // Wide on purpose: a size the sheet cannot take gets a message naming it, not a silent limit.
    box->setRange(low, 1000);
    box->setDecimals(2);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

} // namespace

TfmStockLabels::TfmStockLabels(SettingsStorePtr settings, QWidget* parent)
    : LabelChoiceDialog(std::move(settings), parent)
{
    setObjectName(QStringLiteral("fmStockLabels"));
    setWindowTitle(QStringLiteral("Labels on Other Stock"));
    // The choices scroll where the screen is too small for them (a small screen at a large scale); Preview and
    // Cancel stay in view below them.
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrChoices"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* left = new QVBoxLayout;
    layout->addLayout(left, 1);

    auto* stockRow = new QFormLayout;
    cbStock = new QComboBox(this);
    cbStock->setObjectName(QStringLiteral("cbStock"));
    stockRow->addRow(QStringLiteral("&Stock:"), cbStock);
    left->addLayout(stockRow);

    gbCustom = new QGroupBox(QStringLiteral("Sizes"), this);
    gbCustom->setObjectName(QStringLiteral("gbCustom"));
    auto* sizes = new QFormLayout(gbCustom);
    edCustomName = new QLineEdit(gbCustom);
    edCustomName->setObjectName(QStringLiteral("edCustomName"));
    cbPaper = new QComboBox(gbCustom);
    cbPaper->setObjectName(QStringLiteral("cbPaper"));
    edWidth = mmBox(gbCustom, "edWidth");
    edHeight = mmBox(gbCustom, "edHeight");
    edColumns = new QSpinBox(gbCustom);
    edColumns->setObjectName(QStringLiteral("edColumns"));
    edColumns->setRange(-100, 100000);
    edRows = new QSpinBox(gbCustom);
    edRows->setObjectName(QStringLiteral("edRows"));
    edRows->setRange(-100, 100000);
    edLeft = mmBox(gbCustom, "edLeft");
    edTop = mmBox(gbCustom, "edTop");
    edHPitch = mmBox(gbCustom, "edHPitch");
    edVPitch = mmBox(gbCustom, "edVPitch");
    edRadius = mmBox(gbCustom, "edRadius");
    cbOrder = new QComboBox(gbCustom);
    cbOrder->setObjectName(QStringLiteral("cbOrder"));
    cbOrder->addItems({QStringLiteral("Across, row by row"), QStringLiteral("Down, column by column")});
    btnKeepCustom = new QPushButton(QStringLiteral("&Keep These Sizes"), gbCustom);
    btnKeepCustom->setObjectName(QStringLiteral("btnKeepCustom"));
    sizes->addRow(QStringLiteral("Na&me:"), edCustomName);
    sizes->addRow(QStringLiteral("Paper:"), cbPaper);
    sizes->addRow(QStringLiteral("Label width:"), edWidth);
    sizes->addRow(QStringLiteral("Label height:"), edHeight);
    sizes->addRow(QStringLiteral("Columns:"), edColumns);
    sizes->addRow(QStringLiteral("Rows:"), edRows);
    sizes->addRow(QStringLiteral("Left margin:"), edLeft);
    sizes->addRow(QStringLiteral("Top margin:"), edTop);
    sizes->addRow(QStringLiteral("Across pitch:"), edHPitch);
    sizes->addRow(QStringLiteral("Down pitch:"), edVPitch);
    sizes->addRow(QStringLiteral("Corner radius:"), edRadius);
    sizes->addRow(QStringLiteral("Order:"), cbOrder);
    sizes->addRow(btnKeepCustom);
    left->addWidget(gbCustom);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("lbProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: darkred"));
    // Room for the message is kept while there is none, so that the boxes do not move under the typing when it
    // appears.
    m_problem->setMinimumHeight(3 * m_problem->fontMetrics().lineSpacing());
    m_problem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    left->addWidget(m_problem);

    // The lines and the font in a column of their own: under the sizes they made the window taller than a small
    // laptop's screen.
    auto* middle = new QVBoxLayout;
    layout->addLayout(middle);
    middle->addWidget(makeLinesBox(LineCaptions));
    middle->addLayout(makeFontRow());
    middle->addStretch(1);

    auto* right = new QVBoxLayout;
    layout->addLayout(right, 1);
    imgSheet = new TSheetPicture(this);
    right->addWidget(imgSheet, 1);
    auto* startRow = new QFormLayout;
    spnStartAtLabel = new QSpinBox(this);
    spnStartAtLabel->setObjectName(QStringLiteral("spnStartAtLabel"));
    spnStartAtLabel->setRange(1, 1);
    startRow->addRow(QStringLiteral("Start at &label:"), spnStartAtLabel);
    right->addLayout(startRow);

    auto* check = new QGroupBox(QStringLiteral("Printer offset"), this);
    auto* checkForm = new QFormLayout(check);
    cbPrinter = new QComboBox(check);
    cbPrinter->setObjectName(QStringLiteral("cbPrinter"));
    QStringList printers = QPrinterInfo::availablePrinterNames();
    const QString defaultPrinter = QPrinterInfo::defaultPrinterName();
    if (printers.isEmpty())
        printers << QString();
    cbPrinter->addItems(printers);
    if (!defaultPrinter.isEmpty())
        cbPrinter->setCurrentText(defaultPrinter);
    edOffsetX = mmBox(check, "edOffsetX", -50);
    edOffsetX->setMaximum(50);
    edOffsetY = mmBox(check, "edOffsetY", -50);
    edOffsetY->setMaximum(50);
    btnCheckSheet = new QPushButton(QStringLiteral("Print &Check Sheet..."), check);
    btnCheckSheet->setObjectName(QStringLiteral("btnCheckSheet"));
    checkForm->addRow(QStringLiteral("Printer:"), cbPrinter);
    checkForm->addRow(QStringLiteral("Printed too far right by:"), edOffsetX);
    checkForm->addRow(QStringLiteral("Printed too far down by:"), edOffsetY);
    checkForm->addRow(btnCheckSheet);
    right->addWidget(check);

    QDialogButtonBox* buttons = makeButtons();
    outer->addWidget(buttons);

    for (const Paper& paper : StockCatalogue::builtIn().papers)
        cbPaper->addItem(paper.name);
    const LabelOptions options = readLabelOptions(*m_settings);
    showChoices(options.lines, options.font);
    fillStocks(lastStockName(*m_settings));
    cbPrinterChange();

    connect(cbStock, &QComboBox::currentIndexChanged, this, [this] { platform::guard([this] { cbStockChange(); }); });
    for (QDoubleSpinBox* box : {edWidth, edHeight, edLeft, edTop, edHPitch, edVPitch, edRadius})
        connect(box, &QDoubleSpinBox::valueChanged, this, &TfmStockLabels::customSizeChange);
    for (QSpinBox* box : {edColumns, edRows})
        connect(box, &QSpinBox::valueChanged, this, &TfmStockLabels::customSizeChange);
    connect(cbPaper, &QComboBox::currentIndexChanged, this, &TfmStockLabels::customSizeChange);
    connect(cbOrder, &QComboBox::currentIndexChanged, this, &TfmStockLabels::customSizeChange);
    connect(btnKeepCustom, &QPushButton::clicked, this, [this] { platform::guard([this] { btnKeepCustomClick(); }); });
    connect(btnCheckSheet, &QPushButton::clicked, this, [this] { platform::guard([this] { btnCheckSheetClick(); }); });
    connect(cbPrinter, &QComboBox::currentIndexChanged, this, [this] { platform::guard([this] { cbPrinterChange(); }); });
    connect(edOffsetX, &QDoubleSpinBox::valueChanged, this, [this] { platform::guard([this] { edOffsetChange(); }); });
    connect(edOffsetY, &QDoubleSpinBox::valueChanged, this, [this] { platform::guard([this] { edOffsetChange(); }); });
    connect(imgSheet, &TSheetPicture::startAtLabelChanged, spnStartAtLabel, &QSpinBox::setValue);
    connect(spnStartAtLabel, &QSpinBox::valueChanged, imgSheet, &TSheetPicture::setStartAtLabel);

    // Opens showing all of the choices: a scroll area on its own asks for little room. Where the screen is smaller
    // the window is shrunk to it as it is shown, and only then do the choices scroll.
    const QMargins margins = outer->contentsMargins();
    const QSize choices = content->sizeHint() + QSize(2, 2) * scroll->frameWidth();
    resize(std::max(choices.width(), buttons->sizeHint().width()) + margins.left() + margins.right(),
           choices.height() + outer->spacing() + buttons->sizeHint().height() + margins.top() + margins.bottom());
}

void TfmStockLabels::fillStocks(const QString& select)
{
    m_filling = true;
    cbStock->clear();
    for (const LabelStock& stock : StockCatalogue::builtIn().stocks) {
        cbStock->addItem(stock.description.isEmpty() ? stock.name : stock.description, stock.name);
        cbStock->setItemData(cbStock->count() - 1, 0, kCustomRole);
    }
    for (const QString& name : customStockNames(*m_settings)) {
        cbStock->addItem(QStringLiteral("%1 (your own)").arg(name), name);
        cbStock->setItemData(cbStock->count() - 1, 1, kCustomRole);
    }
    cbStock->addItem(QStringLiteral("Custom…"), QString());
    cbStock->setItemData(cbStock->count() - 1, 2, kCustomRole);
    int index = cbStock->findData(select);
    if (index < 0)
        index = cbStock->findData(QStringLiteral("L7160"));
    cbStock->setCurrentIndex(std::max(0, index));
    m_filling = false;
    platform::guard([this] { cbStockChange(); });
}

void TfmStockLabels::cbStockChange()
{
    if (m_filling)
        return;
    const int kind = cbStock->currentData(kCustomRole).toInt();
    const QString name = cbStock->currentData().toString();
    for (QWidget* w : gbCustom->findChildren<QWidget*>())
        w->setEnabled(kind != 0);
    edCustomName->setReadOnly(kind == 1);
    if (kind == 0) {
        showStock(*StockCatalogue::builtIn().stock(name));
    } else if (kind == 1) {
        // A kept stock that no longer fits shows its sizes and what is wrong with them.
        try {
            showStock(readCustomStock(*m_settings, name));
        } catch (const platform::AppError& e) {
            edCustomName->setText(name);
            m_problem->setText(e.message());
            imgSheet->setStock(nullptr);
        }
    } else {
        edCustomName->clear();
        customSizeChange();
    }
}

void TfmStockLabels::showStock(const LabelStock& stock)
{
    const bool filling = m_filling;
    m_filling = true;
    edCustomName->setText(stock.name);
    cbPaper->setCurrentText(stock.paper.name);
    edWidth->setValue(stock.width);
    edHeight->setValue(stock.height);
    edColumns->setValue(stock.columns);
    edRows->setValue(stock.rows);
    edLeft->setValue(stock.left);
    edTop->setValue(stock.top);
    edHPitch->setValue(stock.hPitch);
    edVPitch->setValue(stock.vPitch);
    edRadius->setValue(stock.radius);
    cbOrder->setCurrentIndex(stock.acrossFirst ? 0 : 1);
    m_filling = filling;
    m_problem->clear();
    imgSheet->setStock(&stock);
    spnStartAtLabel->setRange(1, stock.count());
}

LabelStock TfmStockLabels::customBoxes() const
{
    LabelStock stock;
    stock.name = edCustomName->text().trimmed();
    if (stock.name.isEmpty())
        stock.name = QStringLiteral("Custom");
    if (const Paper* paper = StockCatalogue::builtIn().paper(cbPaper->currentText()))
        stock.paper = *paper;
    stock.width = edWidth->value();
    stock.height = edHeight->value();
    stock.columns = edColumns->value();
    stock.rows = edRows->value();
    stock.left = edLeft->value();
    stock.top = edTop->value();
    stock.hPitch = edHPitch->value();
    stock.vPitch = edVPitch->value();
    stock.radius = edRadius->value();
    stock.acrossFirst = cbOrder->currentIndex() == 0;
    stock.description = QStringLiteral("%1, %2 per sheet on %3").arg(stock.name).arg(stock.count()).arg(stock.paper.name);
    return stock;
}

void TfmStockLabels::customSizeChange()
{
    if (m_filling || cbStock->currentData(kCustomRole).toInt() == 0)
        return;
    try {
        const LabelStock stock = customBoxes();
        validateStock(stock);
        m_problem->clear();
        imgSheet->setStock(&stock);
        spnStartAtLabel->setRange(1, stock.count());
    } catch (const platform::AppError& e) {
        // Nothing that would run off the paper is drawn, not even in the picture.
        m_problem->setText(e.message());
        imgSheet->setStock(nullptr);
    }
}

LabelStock TfmStockLabels::chosenStock() const
{
    const int kind = cbStock->currentData(kCustomRole).toInt();
    if (kind == 0)
        return *StockCatalogue::builtIn().stock(cbStock->currentData().toString());
    LabelStock stock = customBoxes();
    validateStock(stock);
    return stock;
}

LabelOptions TfmStockLabels::chosenOptions() const
{
    LabelOptions options;
    options.lines = chosenLines();
    options.font = m_font;
    options.startAtLabel = spnStartAtLabel->value();
    return options;
}

void TfmStockLabels::btnKeepCustomClick()
{
    if (edCustomName->text().trimmed().isEmpty())
        throw platform::AppError(QStringLiteral("Give your stock a name to keep it by"));
    const LabelStock stock = customBoxes();
    writeCustomStock(*m_settings, stock);
    fillStocks(stock.name);
}

void TfmStockLabels::cbPrinterChange()
{
    const QPointF shift = printerShift(*m_settings, cbPrinter->currentText());
    const QSignalBlocker bx(edOffsetX), by(edOffsetY);
    edOffsetX->setValue(shift.x());
    edOffsetY->setValue(shift.y());
}

void TfmStockLabels::edOffsetChange()
{
    setPrinterShift(*m_settings, cbPrinter->currentText(), QPointF(edOffsetX->value(), edOffsetY->value()));
}

ReportDefinition& TfmStockLabels::makeReport()
{
    const LabelStock stock = chosenStock();
    const LabelOptions options = chosenOptions();
    ReportDefinition report = stockLabelsReport(stock, options);
    applyPrinterShifts(report, m_settings);
    // Own sizes with a name are kept, so that the next run offers them.
    if (cbStock->currentData(kCustomRole).toInt() != 0 && !edCustomName->text().trimmed().isEmpty()) {
        writeCustomStock(*m_settings, stock);
        fillStocks(stock.name);
    }
    writeLabelChoice(*m_settings, stock.name, options);
    m_report = std::move(report);
    return m_report;
}

void TfmStockLabels::btnCheckSheetClick()
{
    ReportDefinition sheet = checkSheetReport(chosenStock());
    applyPrinterShifts(sheet, m_settings);
    m_checkSheet = std::move(sheet);
    done(CheckSheet);
}

void TfmStockLabels::run(RecordSource& source)
{
    // The previews are windows of their own: the dialog is closed while one is open.
    for (;;) {
        const int result = exec();
        if (result == QDialog::Accepted) {
            previewReport(m_report, source);
            return;
        }
        if (result != CheckSheet)
            return;
        MemoryRecordSource blank = blankRecords(m_checkSheet.labelGrid->count());
        previewReport(m_checkSheet, blank);
    }
}
