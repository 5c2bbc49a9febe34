#include "help/SplashBox.h"

#include "help/Credits.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QColor Cream(255, 251, 240);

QLabel* textLabel(const QString& text, int pixelSize, bool bold, bool italic, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

TfmSplash::TfmSplash(TfmCredits* credits, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint), m_credits(credits)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Tovrel"));
    setFixedSize(359, 201);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    QPalette cream = Panel1->palette();
    cream.setColor(QPalette::Window, Cream);
    Panel1->setPalette(cream);

    ProgramIcon = new QLabel(Panel1);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    ProgramIcon->setPixmap(icon.pixmap(32, 32));
    ProgramIcon->setFixedSize(32, 32);

    Panel2 = new QFrame(Panel1);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setLineWidth(2);
    ProductName = textLabel(QStringLiteral("Tovrel"), 32, true, false, Panel2);
    Comments = textLabel(QStringLiteral("Database for Home or Office"), 13, false, false, Panel2);
    DevelopedBy = textLabel(QStringLiteral("developed by"), 12, false, true, Panel2);
    Developer = textLabel(QStringLiteral("the Tovrel team, working from Ledbury in Herefordshire, England"), 13, false,
                          false, Panel2);
    Developer->setWordWrap(true);
    Version = textLabel(QStringLiteral("Version ") + QStringLiteral(TOVREL_VERSION), 12, false, false, Panel2);
    auto* text = new QVBoxLayout(Panel2);
    text->setSpacing(2);
    text->addWidget(ProductName);
    text->addWidget(Version);
    text->addWidget(Comments);
    text->addWidget(DevelopedBy);
    text->addWidget(Developer);
    text->addStretch();
    // Read out with the title: a reader otherwise speaks only the title of a box whose text is in plain labels.
    setAccessibleDescription(QStringList{ProductName->text(), Version->text(), Comments->text(),
                                         DevelopedBy->text() + QLatin1Char(' ') + Developer->text()}
                                 .join(QStringLiteral(". ")));

    pnlCredits = new QPushButton(QStringLiteral("&Credits"), Panel1);
    pnlCredits->setObjectName(QStringLiteral("pnlCredits"));
    pnlCredits->setFixedHeight(24);
    pnlCredits->setCursor(Qt::PointingHandCursor);
    connect(pnlCredits, &QPushButton::clicked, this, &TfmSplash::pnlCreditsClick);

    auto* left = new QVBoxLayout;
    left->addWidget(ProgramIcon);
    left->addStretch();
    left->addWidget(pnlCredits);
    auto* face = new QHBoxLayout(Panel1);
    face->addLayout(left);
    face->addWidget(Panel2, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Panel1);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setFocusPolicy(Qt::StrongFocus);
}

void TfmSplash::pnlCreditsClick()
{
    TfmCredits* credits = m_credits;
    if (!credits)
        return;
    credits->show();
    credits->raise();
    credits->activateWindow();
}

void TfmSplash::keyPressEvent(QKeyEvent* event)
{
    // Tab and Shift+Tab reach "Credits"; a bare modifier is not yet a key; any other key closes the box.
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        QWidget::keyPressEvent(event);
        return;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        return;
    default:
        close();
    }
}

void TfmSplash::mouseReleaseEvent(QMouseEvent* event)
{
    // A click anywhere on the box but "Credits" (which takes its own clicks) closes it.
    QWidget::mouseReleaseEvent(event);
    close();
}

namespace help {

void miAboutClick(TfmCredits* credits, QObject* owner)
{
    auto* box = new TfmSplash(credits);
    if (owner)
        QObject::connect(owner, &QObject::destroyed, box, [box] { delete box; });
    box->show();
    box->activateWindow();
    box->setFocus(); // so that a key pressed now reaches it
}

} // namespace help
