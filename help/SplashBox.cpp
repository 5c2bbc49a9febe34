#include "help/SplashBox.h"

#include "help/Credits.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
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
    auto* text = new QVBoxLayout(Panel2);
    text->addWidget(ProductName);
    text->addWidget(Comments);
    text->addWidget(DevelopedBy);
    text->addWidget(Developer);
    text->addStretch();

    pnlCredits = new QLabel(QStringLiteral("Credits"), Panel1);
    pnlCredits->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlCredits->setAlignment(Qt::AlignCenter);
    pnlCredits->setFixedSize(57, 20);
    pnlCredits->setCursor(Qt::PointingHandCursor);
    pnlCredits->installEventFilter(this);

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

    // Runs from the moment the box is made, once.
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(LifetimeMs);
    connect(Timer1, &QTimer::timeout, this, &QWidget::close);
    Timer1->start();
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

bool TfmSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pnlCredits && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        pnlCreditsClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

namespace help {

void miAboutClick(TfmCredits* credits, QObject* owner)
{
    auto* box = new TfmSplash(credits);
    if (owner)
        QObject::connect(owner, &QObject::destroyed, box, [box] { delete box; });
    box->show();
}

} // namespace help
