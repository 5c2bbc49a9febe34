#include "reports/ui/Envelopes.h"

#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "reports/ui/LabelFontChoice.h"
#include "reports/ui/Preview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace reports;

namespace {

const char* const kLineCaptions[] = {"&Name", "A&ddress lines", "&Village", "&Town", "C&ounty", "Post&code",
                                     "Co&untry"};

} // namespace

TfmEnvelopes::TfmEnvelopes(SettingsStorePtr settings, QWidget* parent)
    : QDialog(parent), m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("fmEnvelopes"));
    setWindowTitle(QStringLiteral("Envelopes"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cbEnvelope = new QComboBox(this);
    cbEnvelope->setObjectName(QStringLiteral("cbEnvelope"));
    for (const EnvelopeStock& envelope : StockCatalogue::builtIn().envelopes)
        cbEnvelope->addItem(envelope.description.isEmpty() ? envelope.name : envelope.description, envelope.name);
    form->addRow(QStringLiteral("&Envelope:"), cbEnvelope);
    layout->addLayout(form);

    auto* columns = new QHBoxLayout;
    auto* linesBox = new QGroupBox(QStringLiteral("Lines to print"), this);
    auto* lines = new QVBoxLayout(linesBox);
    for (const char* caption : kLineCaptions) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), linesBox);
        box->setObjectName(QStringLiteral("cbxLine%1").arg(cbxLines.size() + 1));
        lines->addWidget(box);
        cbxLines.push_back(box);
    }
    columns->addWidget(linesBox);
    auto* returnBox = new QGroupBox(QStringLiteral("Return address"), this);
    auto* returnLayout = new QVBoxLayout(returnBox);
    cbxReturnAddress = new QCheckBox(QStringLiteral("Print a &return address"), returnBox);
    cbxReturnAddress->setObjectName(QStringLiteral("cbxReturnAddress"));
    memReturnAddress = new QPlainTextEdit(returnBox);
    memReturnAddress->setObjectName(QStringLiteral("memReturnAddress"));
    memReturnAddress->setTabChangesFocus(true);
    returnLayout->addWidget(cbxReturnAddress);
    returnLayout->addWidget(memReturnAddress);
    columns->addWidget(returnBox, 1);
    layout->addLayout(columns);

    auto* feedBox = new QGroupBox(QStringLiteral("The printer takes envelopes"), this);
    auto* feed = new QVBoxLayout(feedBox);
    rbShortEdgeFirst = new QRadioButton(QStringLiteral("&Short edge first"), feedBox);
    rbShortEdgeFirst->setObjectName(QStringLiteral("rbShortEdgeFirst"));
    rbLongEdgeFirst = new QRadioButton(QStringLiteral("&Long edge first"), feedBox);
    rbLongEdgeFirst->setObjectName(QStringLiteral("rbLongEdgeFirst"));
    feed->addWidget(rbShortEdgeFirst);
    feed->addWidget(rbLongEdgeFirst);
    layout->addWidget(feedBox);

    auto* fontRow = new QHBoxLayout;
    btnFont = new QPushButton(QStringLiteral("&Font..."), this);
    btnFont->setObjectName(QStringLiteral("btnFont"));
    m_fontLabel = new QLabel(this);
    fontRow->addWidget(btnFont);
    fontRow->addWidget(m_fontLabel, 1);
    layout->addLayout(fontRow);

    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QStringLiteral("&Preview"), QDialogButtonBox::AcceptRole);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(buttons);

    const EnvelopeOptions options = readEnvelopeOptions(*m_settings);
    const int index = cbEnvelope->findData(lastEnvelopeName(*m_settings), Qt::UserRole, Qt::MatchFixedString);
    cbEnvelope->setCurrentIndex(std::max(0, index));
    for (size_t i = 0; i < cbxLines.size(); ++i)
        cbxLines[i]->setChecked(options.lines & (1u << i));
    cbxReturnAddress->setChecked(!options.returnAddress.isEmpty());
    memReturnAddress->setPlainText(options.returnAddress.join(QLatin1Char('\n')));
    (options.longEdgeFirst ? rbLongEdgeFirst : rbShortEdgeFirst)->setChecked(true);
    m_font = options.font;
    showFont();

    connect(btnFont, &QPushButton::clicked, this, [this] { platform::guard([this] { btnFontClick(); }); });
    connect(btnOK, &QPushButton::clicked, this, [this] { platform::guard([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

EnvelopeOptions TfmEnvelopes::chosenOptions() const
{
    EnvelopeOptions options;
    options.lines = 0;
    for (size_t i = 0; i < cbxLines.size(); ++i)
        if (cbxLines[i]->isChecked())
            options.lines |= 1u << i;
    options.font = m_font;
    options.longEdgeFirst = rbLongEdgeFirst->isChecked();
    if (cbxReturnAddress->isChecked()) {
        for (const QString& line : memReturnAddress->toPlainText().split(QLatin1Char('\n')))
            options.returnAddress << line.trimmed();
        while (!options.returnAddress.isEmpty() && options.returnAddress.constLast().isEmpty())
            options.returnAddress.removeLast();
    }
    return options;
}

ReportDefinition& TfmEnvelopes::makeReport()
{
    const EnvelopeStock* envelope = StockCatalogue::builtIn().envelope(cbEnvelope->currentData().toString());
    if (!envelope)
        throw platform::AppError(QStringLiteral("Choose an envelope"));
    const EnvelopeOptions options = chosenOptions();
    ReportDefinition report = envelopesReport(*envelope, options);
    applyPrinterShifts(report, m_settings);
    writeEnvelopeChoice(*m_settings, envelope->name, options);
    m_report = std::move(report);
    return m_report;
}

void TfmEnvelopes::btnOKClick()
{
    makeReport();
    accept();
}

void TfmEnvelopes::btnFontClick()
{
    if (const std::optional<ReportFont> chosen = chooseLabelFont(this, m_font)) {
        m_font = *chosen;
        showFont();
    }
}

void TfmEnvelopes::showFont() { m_fontLabel->setText(describeLabelFont(m_font)); }

void TfmEnvelopes::run(RecordSource& source)
{
    if (exec() == QDialog::Accepted)
        previewReport(m_report, source);
}
