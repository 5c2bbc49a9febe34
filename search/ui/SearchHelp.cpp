#include "search/ui/SearchHelp.h"

#include "platform/ui/Accessibility.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// The heading band, shaded like an active title bar.
class HeadingBand : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter p(this);
        QLinearGradient gradient(rect().topLeft(), rect().topRight());
        const QColor caption = palette().color(QPalette::Active, QPalette::Highlight);
        // Both ends dark enough for the white heading to be read.
        gradient.setColorAt(0, platform::darkenedFor(caption, Qt::white));
        gradient.setColorAt(1, platform::darkenedFor(caption.lighter(160), Qt::white));
        p.fillRect(rect(), gradient);
        p.end();
        QLabel::paintEvent(event);
    }
};

} // namespace

QStringList TfmSearchHelp::helpLines()
{
    return {
        QStringLiteral("HELP FOR SEARCH BOX"),
        QString(),
        QStringLiteral("Select the field that you want to use for the search. If you are to use the person's address,"),
        QStringLiteral("select the Town, Post Code or whatever seems best."),
        QString(),
        QStringLiteral("Enter the word in the box below."),
        QString(),
        QStringLiteral("For example, select PostCode and enter BS to list everyone who lives in the Bristol postcode "
                       "area."),
        QString(),
        QStringLiteral("Please note that you may enter any part of the word; you do not need to have the exact whole "
                       "word."),
        QStringLiteral("The search ignores upper and lower case, so if you are looking for someone called Johnstone, "
                       "the "),
        QStringLiteral("entry made could also be Johnston or Jonstone. So enter Jo and you will see all names with Jo "
                       "in."),
        QString(),
        QStringLiteral("If you need a table or report that EXCLUDES a name or flag, check the NOT search box."),
        QString(),
        QStringLiteral("Note that the table shows the selected records, but also all the reports will use the same"),
        QStringLiteral("selection. This is a powerful feature enabling you to produce, say, address labels for people "
                       "in one "),
        QStringLiteral("county."),
        QString(),
        QStringLiteral("Flagging: by placing entries in the Flag field, you can easily produce reports for people"),
        QStringLiteral("belonging to one group. You could use this to print labels for a mailshot or your Christmas "
                       "cards."),
    };
}

TfmSearchHelp::TfmSearchHelp(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fmSearchHelp"));
    setWindowTitle(QStringLiteral("Tovrel Search Help"));
    resize(600, 421);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* band = new HeadingBand(QStringLiteral("Helpful Information"), this);
    band->setFixedHeight(33);
    band->setIndent(8);
    QFont heading = band->font();
    heading.setPointSize(12);
    heading.setBold(true);
    band->setFont(heading);
    QPalette white = band->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(white);
    layout->addWidget(band);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFont(QFont(QStringLiteral("MS Sans Serif"), 10));
    Memo1->setPlainText(helpLines().join(QLatin1Char('\n')));
    Memo1->setAccessibleName(QStringLiteral("Help for the search box"));
    layout->addWidget(Memo1, 1);
    platform::closeOnEscape(this);
}
