#include "reports/ui/LabelChoiceDialog.h"

#include "platform/ui/ErrorBox.h"
#include "reports/ui/LabelFontChoice.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace reports;

LabelChoiceDialog::LabelChoiceDialog(SettingsStorePtr settings, QWidget* parent)
    : QDialog(parent), m_settings(std::move(settings))
{
}

QGroupBox* LabelChoiceDialog::makeLinesBox(const std::array<const char*, 7>& captions)
{
    auto* linesBox = new QGroupBox(QStringLiteral("Lines to print"), this);
    auto* lines = new QVBoxLayout(linesBox);
    for (const char* caption : captions) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), linesBox);
        box->setObjectName(QStringLiteral("cbxLine%1").arg(cbxLines.size() + 1));
        lines->addWidget(box);
        cbxLines.push_back(box);
    }
    return linesBox;
}

QHBoxLayout* LabelChoiceDialog::makeFontRow()
{
    auto* fontRow = new QHBoxLayout;
    btnFont = new QPushButton(QStringLiteral("&Font..."), this);
    btnFont->setObjectName(QStringLiteral("btnFont"));
    m_fontLabel = new QLabel(this);
    fontRow->addWidget(btnFont);
    fontRow->addWidget(m_fontLabel, 1);
    connect(btnFont, &QPushButton::clicked, this, [this] { platform::guard([this] { btnFontClick(); }); });
    return fontRow;
}

QDialogButtonBox* LabelChoiceDialog::makeButtons()
{
    auto* buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QStringLiteral("&Preview"), QDialogButtonBox::AcceptRole);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, [this] { platform::guard([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    return buttons;
}

unsigned LabelChoiceDialog::chosenLines() const
{
    unsigned lines = 0;
    for (size_t i = 0; i < cbxLines.size(); ++i)
        if (cbxLines[i]->isChecked())
            lines |= 1u << i;
    return lines;
}

void LabelChoiceDialog::showChoices(unsigned lines, const ReportFont& font)
{
    for (size_t i = 0; i < cbxLines.size(); ++i)
        cbxLines[i]->setChecked(lines & (1u << i));
    m_font = font;
    showFont();
}

void LabelChoiceDialog::btnFontClick()
{
    if (const std::optional<ReportFont> chosen = chooseLabelFont(this, m_font)) {
        m_font = *chosen;
        showFont();
    }
}

void LabelChoiceDialog::btnOKClick()
{
    makeReport();
    accept();
}

void LabelChoiceDialog::showFont() { m_fontLabel->setText(describeLabelFont(m_font)); }
