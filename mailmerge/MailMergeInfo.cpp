#include "mailmerge/MailMergeInfo.h"

#include "platform/ui/Accessibility.h"
#include "platform/ui/CaptionStrip.h"

#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QSize ClientSize(466, 304);

} // namespace

QStringList TfmMailMergeHelp::helpParagraphs()
{
    return {
        QStringLiteral("To perform a mail merge, you need a document, and a selected list of names (with addresses)"),
        QString(),
        QStringLiteral("If you already have a letter written in your word processor, save it (where you can find it) as"),
        QStringLiteral("a Rich Text Format ( .rtf) file. Alternatively, you may prepare your document in this program,"),
        QStringLiteral("but it is a simple editor and may not give you the features you need."),
        QString(),
        QStringLiteral("To choose the names you want to send it to, use the Search facility. With this you can"),
        QStringLiteral("filter through only those names or locations you need. To select all your customers in "
                       "Edinburgh,"),
        QStringLiteral("for example, enter EH and select the PostCode field in the list. "),
        QString(),
        QStringLiteral("If you need names from more than one area, print out the letters in more than one batch, each"),
        QStringLiteral("with the town name or PostCode required. This helps sorting for delivery too."),
        QString(),
        QStringLiteral("Once you are happy with the list of names and the document, click on the Merge button"),
        QStringLiteral("to show a previiew of the merged report, as it will be. If that's OK, then PRINT !"),
        QString(),
        QStringLiteral("If you need to adjust margins etc, print out only one sheet."),
    };
}

TfmMailMergeHelp::TfmMailMergeHelp(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmMailMergeHelp"));
    setWindowTitle(QStringLiteral("Tovrel Mail Merge Help"));
    setFixedSize(ClientSize);

    Panel1 = new platform::CaptionStrip(this, 160);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    Label1 = new QLabel(QStringLiteral("Helpful Information"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading(QStringLiteral("MS Sans Serif"), 14);
    Label1->setFont(heading);
    Label1->setAlignment(Qt::AlignCenter);
    QPalette white = Label1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(white);
    auto* band = new QHBoxLayout(Panel1);
    band->setContentsMargins(8, 0, 8, 0);
    band->addWidget(Label1);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setAccessibleName(QStringLiteral("Helpful Information"));
    platform::closeOnEscape(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
    RichEdit1->setAcceptRichText(true);
    RichEdit1->setPlainText(helpParagraphs().join(QLatin1Char('\n')));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(RichEdit1, 1);
}
