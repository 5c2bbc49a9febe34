#include "reports/ui/PrintProgress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TfmPrintProgress::TfmPrintProgress(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmPrintProgress"));
    setWindowTitle(QStringLiteral("Printing progress"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMinimumWidth(280);
    lblCompleted = new QLabel(this);
    lblCompleted->setObjectName(QStringLiteral("lblCompleted"));
    lblCompleted->setAlignment(Qt::AlignCenter);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(ProgressBar1);
    layout->addWidget(lblCompleted);
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
    connect(btnCancel, &QPushButton::clicked, this, &TfmPrintProgress::btnCancelClick);
    showPercent(0);
}

void TfmPrintProgress::setProgress(int percent)
{
    if (percent / 5 > m_shown / 5)
        showPercent(percent);
}

void TfmPrintProgress::showPercent(int percent)
{
    m_shown = percent;
    ProgressBar1->setValue(percent);
    lblCompleted->setText(QString::number(percent) + QStringLiteral("% ") + QStringLiteral(" Completed"));
}

void TfmPrintProgress::sending()
{
    btnCancel->setEnabled(false);
}

void TfmPrintProgress::btnCancelClick()
{
    m_cancel = true;
    btnCancel->setEnabled(false);
}

void TfmPrintProgress::closeEvent(QCloseEvent* event)
{
    // The window goes when printing ends; asking to close it means stop.
    btnCancelClick();
    event->ignore();
}

void TfmPrintProgress::reject()
{
    btnCancelClick();
}
