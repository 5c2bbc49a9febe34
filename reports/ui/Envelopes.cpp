#include "reports/ui/Envelopes.h"

#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "reports/ui/Preview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace reports;

namespace {

constexpr std::array<const char*, 7> LineCaptions = {"&Name", "A&ddress lines", "&Village", "&Town", "C&ounty", "Post&code",
                                     "Co&untry"};

} // namespace

TfmEnvelopes::TfmEnvelopes(SettingsStorePtr settings, QWidget* parent)
    : LabelChoiceDialog(std::move(settings), parent)
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
    columns->addWidget(makeLinesBox(LineCaptions));
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

    layout->addLayout(makeFontRow());
    layout->addWidget(makeButtons());

    const EnvelopeOptions options = readEnvelopeOptions(*m_settings);
    const int index = cbEnvelope->findData(lastEnvelopeName(*m_settings), Qt::UserRole, Qt::MatchFixedString);
    cbEnvelope->setCurrentIndex(std::max(0, index));
    cbxReturnAddress->setChecked(!options.returnAddress.isEmpty());
    memReturnAddress->setPlainText(options.returnAddress.join(QLatin1Char('\n')));
    (options.longEdgeFirst ? rbLongEdgeFirst : rbShortEdgeFirst)->setChecked(true);
    showChoices(options.lines, options.font);
}

EnvelopeOptions TfmEnvelopes::chosenOptions() const
{
    EnvelopeOptions options;
    options.lines = chosenLines();
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

void TfmEnvelopes::run(RecordSource& source)
{
    if (exec() == QDialog::Accepted)
        previewReport(m_report, source);
}
