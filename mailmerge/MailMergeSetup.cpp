#include "mailmerge/MailMergeSetup.h"

#include "mailmerge/MailMergeEdit.h"
#include "mailmerge/MailMergeInfo.h"
#include "reports/layouts/MergedLetters.h"
#include "reports/ui/Preview.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"
#include "reports/DatasetSource.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const QSize DefaultSize(310, 231);

QFont sansSerif(int points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"), points);
    font.setBold(bold);
    return font;
}

} // namespace

TfmMailMergeSetup::TfmMailMergeSetup(Parts parts, QWidget* parent)
    : QWidget(parent, Qt::Window), m_parts(std::move(parts))
{
    setObjectName(QStringLiteral("fmMailMergeSetup"));
    setWindowTitle(QStringLiteral("Tovrel Mail Merge"));
    setFont(sansSerif(8));
    resize(DefaultSize);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Label1 = new QLabel(QStringLiteral("Setup Mail Merge"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(sansSerif(14, true));
    Label1->setAlignment(Qt::AlignCenter);
    auto* header = new QVBoxLayout(Panel1);
    header->addWidget(Label1);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    btnDocument = button("btnDocument", QStringLiteral("&Document"));
    btnSelectNames = button("btnSelectNames", QStringLiteral("&Select Names"));
    btnMerge = button("btnMerge", QStringLiteral("&Merge"));
    btnMatchFont = button("btnMatchFont", QStringLiteral("Match Font"));
    btnHelp = button("btnHelp", QStringLiteral("&Help"));
    btnHelp->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    btnClose = button("btnClose", QStringLiteral("&Close"));
    btnClose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    platform::closeOnEscape(this, [this] { btnClose->click(); });

    // The row labels end just left of their buttons; "&&" shows one "&" once a label has a buddy.
    auto rowLabel = [this](const char* name, const QString& caption, QPushButton* buddy) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(sansSerif(10));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(buddy);
        return label;
    };
    Label2 = rowLabel("Label2", QStringLiteral("Select, edit or create letter:"), btnDocument);
    Label3 = rowLabel("Label3", QStringLiteral("Select names && addresses:"), btnSelectNames);
    Label4 = rowLabel("Label4", QStringLiteral("Preview Merged Report:"), btnMerge);

    auto* rows = new QGridLayout;
    rows->setColumnStretch(0, 1);
    rows->addWidget(Label2, 0, 0);
    rows->addWidget(btnDocument, 0, 1);
    rows->addWidget(Label3, 1, 0);
    rows->addWidget(btnSelectNames, 1, 1);
    rows->addWidget(Label4, 2, 0);
    rows->addWidget(btnMerge, 2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btnMatchFont);
    bottom->addWidget(btnHelp);
    bottom->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(Panel1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addLayout(rows);
    body->addStretch(1);
    body->addLayout(bottom);
    layout->addLayout(body, 1);

    // Tab follows the layout, rows top to bottom and the bottom row left to right; the window still opens on
    // "Select Names", the first step of a merge.
    setTabOrder(btnDocument, btnSelectNames);
    setTabOrder(btnSelectNames, btnMerge);
    setTabOrder(btnMerge, btnMatchFont);
    setTabOrder(btnMatchFont, btnHelp);
    setTabOrder(btnHelp, btnClose);
    btnSelectNames->setFocus();

    connect(btnDocument, &QPushButton::clicked, this, &TfmMailMergeSetup::btnDocumentClick);
    connect(btnSelectNames, &QPushButton::clicked, this, &TfmMailMergeSetup::btnSelectNamesClick);
    connect(btnMerge, &QPushButton::clicked, this, &TfmMailMergeSetup::btnMergeClick);
    connect(btnMatchFont, &QPushButton::clicked, this, &TfmMailMergeSetup::btnMatchFontClick);
    connect(btnHelp, &QPushButton::clicked, this, &TfmMailMergeSetup::btnHelpClick);
    connect(btnClose, &QPushButton::clicked, this, &TfmMailMergeSetup::btnCloseClick);
}

void TfmMailMergeSetup::showSetup()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TfmMailMergeSetup::btnDocumentClick()
{
    platform::guard([this] {
        if (TfmMailMergeEdit* editor = m_parts.editor ? m_parts.editor() : nullptr)
            editor->showEditor();
    });
}

void TfmMailMergeSetup::btnSelectNamesClick()
{
    // Modal; how the dialog was closed does not matter here.
    platform::guard([this] {
        if (m_parts.selectNames)
            m_parts.selectNames();
    });
}

void TfmMailMergeSetup::btnMergeClick()
{
    platform::guard([this] {
        TfmMailQR* letters = m_parts.letters ? m_parts.letters() : nullptr;
        if (!letters || !m_parts.contacts)
            return;
        // Letters with nothing but the address are seldom what was meant: the letter may never have been chosen.
        TfmMailMergeEdit* editor = m_parts.editor ? m_parts.editor() : nullptr;
        if ((!editor || editor->document()->toPlainText().trimmed().isEmpty()) &&
            platform::prompts().message(this, windowTitle(),
                                        QStringLiteral("There is no letter: the text editor is empty. Print the "
                                                       "letters with only the address and \"Dear\" anyway?\n\n"
                                                       "To write or open the letter, choose Document."),
                                        platform::Icon::Question,
                                        platform::Buttons::YesNoDefaultNo) != platform::Answer::Yes)
            return;
        reports::DatasetSource source(*m_parts.contacts);
        reports::previewReport(letters->QuickRep1, source);
    });
}

void TfmMailMergeSetup::btnMatchFontClick()
{
    // The editor's current font becomes the font of the address block and the salutation; a failure is ignored.
    try {
        TfmMailMergeEdit* editor = m_parts.editor ? m_parts.editor() : nullptr;
        TfmMailQR* letters = m_parts.letters ? m_parts.letters() : nullptr;
        if (editor && letters)
            letters->setBaseFont(editor->currentFont(), editor->currentFontColor());
    } catch (...) {
    }
}

void TfmMailMergeSetup::btnHelpClick()
{
    platform::guard([this] {
        if (TfmMailMergeHelp* help = m_parts.help ? m_parts.help() : nullptr) {
            help->show();
            help->raise();
            help->activateWindow();
        }
    });
}

void TfmMailMergeSetup::btnCloseClick()
{
    close();
}
