#include "mailmerge/FindReplace.h"

#include "mailmerge/MailMergeEdit.h"
#include "platform/Services.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmFindReplace::TfmFindReplace(TfmMailMergeEdit* editor) : QDialog(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("fmFindReplace"));
    setModal(false);
    auto* grid = new QGridLayout;
    edtFind = new QLineEdit(this);
    edtReplace = new QLineEdit(this);
    auto* lblFind = new QLabel(QStringLiteral("Fi&nd what:"), this);
    lblFind->setBuddy(edtFind);
    lblReplace = new QLabel(QStringLiteral("Re&place with:"), this);
    lblReplace->setBuddy(edtReplace);
    grid->addWidget(lblFind, 0, 0);
    grid->addWidget(edtFind, 0, 1);
    grid->addWidget(lblReplace, 1, 0);
    grid->addWidget(edtReplace, 1, 1);
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    chkWholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    grid->addWidget(chkWholeWord, 2, 0, 1, 2);
    grid->addWidget(chkMatchCase, 3, 0, 1, 2);

    auto* buttons = new QVBoxLayout;
    btnFindNext = new QPushButton(QStringLiteral("&Find Next"), this);
    btnFindNext->setDefault(true);
    btnReplace = new QPushButton(QStringLiteral("&Replace"), this);
    btnReplaceAll = new QPushButton(QStringLiteral("Replace &All"), this);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {btnFindNext, btnReplace, btnReplaceAll, btnClose})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    connect(btnFindNext, &QPushButton::clicked, this, &TfmFindReplace::btnFindNextClick);
    connect(btnReplace, &QPushButton::clicked, this, &TfmFindReplace::btnReplaceClick);
    connect(btnReplaceAll, &QPushButton::clicked, this, &TfmFindReplace::btnReplaceAllClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::hide);
    const auto enable = [this] {
        const bool any = !edtFind->text().isEmpty();
        for (QPushButton* b : {btnFindNext, btnReplace, btnReplaceAll})
            b->setEnabled(any);
    };
    connect(edtFind, &QLineEdit::textChanged, this, enable);
    enable();
}

void TfmFindReplace::showFor(bool replace, const QString& selection)
{
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    for (QWidget* w : {static_cast<QWidget*>(lblReplace), static_cast<QWidget*>(edtReplace),
                       static_cast<QWidget*>(btnReplace), static_cast<QWidget*>(btnReplaceAll)})
        w->setVisible(replace);
    // A selection of one line is what the user means to look for.
    if (!selection.isEmpty() && !selection.contains(QChar::ParagraphSeparator))
        edtFind->setText(selection);
    show();
    raise();
    activateWindow();
    edtFind->setFocus();
    edtFind->selectAll();
}

void TfmFindReplace::notFound()
{
    platform::prompts().message(this, QStringLiteral("Text Editor"),
                                QStringLiteral("Cannot find \"%1\"").arg(edtFind->text()),
                                platform::Icon::Information, platform::Buttons::Ok);
}

void TfmFindReplace::btnFindNextClick()
{
    if (!m_editor->findNext(edtFind->text(), {chkMatchCase->isChecked(), chkWholeWord->isChecked()}))
        notFound();
}

void TfmFindReplace::btnReplaceClick()
{
    if (!m_editor->replaceNext(edtFind->text(), edtReplace->text(),
                               {chkMatchCase->isChecked(), chkWholeWord->isChecked()}))
        notFound();
}

void TfmFindReplace::btnReplaceAllClick()
{
    const int count = m_editor->replaceAll(edtFind->text(), edtReplace->text(),
                                           {chkMatchCase->isChecked(), chkWholeWord->isChecked()});
    if (count == 0)
        notFound();
}
