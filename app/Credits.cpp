#include "app/Credits.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
const QColor Cream(255, 251, 240);

// The window's outer size is 403 x 162; this is what the frame leaves of it.
constexpr int ClientWidth = 395;
constexpr int ClientHeight = 128;
} // namespace

TfmCredits::TfmCredits(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Credits"));
    resize(ClientWidth, ClientHeight);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setReadOnly(true);
    QPalette cream = RichEdit1->palette();
    cream.setColor(QPalette::Base, Cream);
    RichEdit1->setPalette(cream);
    QFont font = RichEdit1->font();
    font.setPixelSize(13);
    RichEdit1->setFont(font);
    RichEdit1->setPlainText(creditLines().join(QLatin1Char('\n')));
    // Centre every paragraph.
    QTextCursor all(RichEdit1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);
}

QStringList TfmCredits::creditLines()
{
    return {
        QStringLiteral("Thanks to (in no particular order) :"),
        QString(),
        QStringLiteral("the writers of the books and web guides that showed the way,"),
        QStringLiteral("everyone who beta-tested Tovrel and told us what went wrong,"),
        QStringLiteral("the makers of the installer that puts Tovrel on your computer,"),
        QStringLiteral("the friends whose questions and ideas made it better,"),
        QStringLiteral("and my family, for their patience while it was written."),
    };
}
