#include "help/Credits.h"

#include "platform/ui/Accessibility.h"

#include <QTextBlockFormat>
#include <QTextDocument>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

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
    RichEdit1->setAccessibleName(QStringLiteral("Credits"));
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

    platform::closeOnEscape(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);

    // Every line on a line of its own and the whole text in view: at least the designed size, larger where the
    // fonts at hand need it.
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit1->ensurePolished();
    const int frame = RichEdit1->frameWidth();
    // Measured on a copy: the box's own document is laid out for the box as it is now.
    const std::unique_ptr<QTextDocument> probe(RichEdit1->document()->clone());
    probe->setDefaultFont(font);
    probe->setTextWidth(-1); // unwrapped: as wide as the longest line
    const int width = std::max(ClientWidth, int(std::ceil(probe->size().width())) + 2 * frame);
    probe->setTextWidth(width - 2 * frame);
    const int height = std::max(ClientHeight, int(std::ceil(probe->size().height())) + 2 * frame);
    resize(width, height);
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
