#include "records/RecordCard.h"

#include "data/widgets/DBEdit.h"
#include "data/widgets/DBMemo.h"
#include "data/widgets/DBNavigator.h"
#include "mainwindow/MainWindowHints.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ui/ScreenPlace.h"
#include "platform/Services.h"
#include "records/WindowPlace.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

namespace {

const QColor LabelBlue(0, 0, 255);
const QColor RuleRed(255, 0, 0);
const QColor BarCream(255, 251, 240);
const QColor FocusTint(255, 240, 170);
// The rules are drawn in two blues: the line itself and, on the thicker ones, a paler second pixel row.
const QColor RuleBlue(0, 153, 255);
const QColor RulePaleBlue(153, 204, 255);

constexpr int CardWidth = 548;
constexpr int BoxHeight = 17;

// Left column: labels right-aligned against Panel2, boxes just right of it.
constexpr int Panel2Left = 86;
constexpr int LeftLabelLeft = 4;
constexpr int LeftBoxLeft = Panel2Left + 3 + 4;
constexpr int LeftBoxWidth = 220;
// Lower right group: labels right-aligned against Panel10, boxes right of it.
constexpr int Panel10Left = 394;
constexpr int RightLabelLeft = 318;
constexpr int RightBoxLeft = Panel10Left + 3 + 4;
constexpr int RightBoxWidth = 140;
// The notes box, upper right.
constexpr int NotesLeft = 324;
constexpr int NotesWidth = 210;
constexpr int NotesHeight = 152;

// A rule's row on the face (the picture overhangs the face by its offset).
int faceRule(int index)
{
    return RecCardFace::ruleRows()[index] + RecCardFace::PictureOffset.y();
}

// A single-line box whose bottom edge lies on the given rule.
QRect onRule(int ruleIndex, int left, int width)
{
    const int bottom = faceRule(ruleIndex);
    return {left, bottom - BoxHeight + 1, width, BoxHeight};
}

QFont cardFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPointSize(8);
    return font;
}

} // namespace

// --- RecCardPanel ---

RecCardPanel::RecCardPanel(const QString& caption, int width, QWidget* parent) : QAbstractButton(parent)
{
    setText(caption);
    setFixedSize(width, 20);
    // Reached by Tab; a click leaves the focus in the box it was in, so the box's text is checked once, by the
    // command.
    setFocusPolicy(Qt::TabFocus);
}

void RecCardPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    // The sunken edge: dark above and left, light below and right; pressed, the other way round.
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    painter.setPen(isDown() ? light : dark);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(isDown() ? dark : light);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    if (hasFocus()) {
        // A 2-pixel frame in the text colour: the dotted 1-pixel outline is too faint to find.
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.drawRect(r.adjusted(2, 2, -2, -2));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void RecCardPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

// --- RecCardFace ---

RecCardFace::RecCardFace(QWidget* parent) : QWidget(parent) {}

const QList<int>& RecCardFace::ruleRows()
{
    static const QList<int> rows = {26, 49, 73, 96, 120, 144, 167, 191, 214, 238, 262, 285, 309, 332};
    return rows;
}

QImage RecCardFace::picture()
{
    static const QImage image = [] {
        QImage card(PictureWidth, PictureHeight, QImage::Format_RGB32);
        card.fill(Qt::white);
        QPainter painter(&card);
        const QList<int>& rows = ruleRows();
        for (qsizetype i = 0; i < rows.size(); ++i) {
            painter.fillRect(0, rows[i], PictureWidth, 1, RuleBlue);
            // The rules lie about 23.6 pixels apart; every other one comes out two pixels thick.
            if (i % 2 == 1)
                painter.fillRect(0, rows[i] + 1, PictureWidth, 1, RulePaleBlue);
        }
        return card;
    }();
    return image;
}

void RecCardFace::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(PictureOffset, picture()); // clipped to the face by the widget itself
}

// --- TfmRecCard ---

TfmRecCard::TfmRecCard(data::Dataset& query, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dsRecCard(&query)
{
    setObjectName(QStringLiteral("fmRecCard"));
    setWindowTitle(QStringLiteral("Record Card"));
    setFont(cardFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(CardWidth, FaceHeight + BarHeight);
    move(m_place);

    buildFace();
    buildBar();
}

TfmRecCard::~TfmRecCard() = default;

data::Dataset& TfmRecCard::query() const
{
    return *dsRecCard.dataset();
}

data::DBEdit* TfmRecCard::addBox(const QString& label, const QString& field, const QRect& labelRect,
                                 const QRect& boxRect)
{
    QLabel* caption = nullptr;
    if (!label.isEmpty()) {
        caption = new QLabel(label, face);
        caption->setGeometry(labelRect);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QPalette pal = caption->palette();
        pal.setColor(QPalette::WindowText, LabelBlue);
        caption->setPalette(pal);
    }
    auto* edit = new data::DBEdit(face);
    edit->setObjectName(QStringLiteral("edit") + QString(field).remove(QLatin1Char(' ')));
    edit->setFrame(false);
    edit->setGeometry(boxRect);
    // The text sits directly on the card: the box lets the face and its rule show through.
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(pal);
    edit->setDataSource(&dsRecCard);
    edit->setDataField(field);
    edit->installEventFilter(this); // marks the box that has the focus
    // The caption names the box for a screen reader; the unlabelled second address line is named here.
    if (caption)
        caption->setBuddy(edit);
    else
        edit->setAccessibleName(QStringLiteral("Address line 2"));
    m_boxes.insert(field, edit);
    m_focusOrder << edit;
    return edit;
}

void TfmRecCard::buildFace()
{
    face = new RecCardFace(this);
    face->setGeometry(0, 0, CardWidth, FaceHeight);

    Panel2 = new QFrame(face);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(Panel2Left, 0, 3, FaceHeight);
    Panel10 = new QFrame(face);
    Panel10->setObjectName(QStringLiteral("Panel10"));
    const int panel10Top = faceRule(9) - BoxHeight - 3; // just above "Country"
    Panel10->setGeometry(Panel10Left, panel10Top, 3, FaceHeight - panel10Top);
    for (QFrame* rule : {Panel2, Panel10}) {
        QPalette pal = rule->palette();
        pal.setColor(QPalette::Window, RuleRed);
        rule->setPalette(pal);
        rule->setAutoFillBackground(true);
        rule->setFocusPolicy(Qt::NoFocus);
    }

    struct Row
    {
        const char* label;
        const char* field;
    };
    // The left column stands on rules 2 to 14, top to bottom, in focus order.
    const Row left[] = {{"First name", "Firstname"},
                        {"Middle name", "Midname"},
                        {"Surname", "Surname"},
                        {"Address", "Address1"},
                        {"", "Address2"},
                        {"Village", "A3_Village"},
                        {"Town", "Town"},
                        {"County / State", "County"},
                        {"PostCode", "PostCode"},
                        {"Phone", "Tel"},
                        {"Mobile", "Cell"},
                        {"Email", "Email"},
                        {"Work Tel", "Work Tel"}};
    int rule = 1;
    for (const Row& row : left) {
        const QRect boxRect = onRule(rule, LeftBoxLeft, LeftBoxWidth);
        const QRect labelRect(LeftLabelLeft, boxRect.top(), Panel2Left - 4 - LeftLabelLeft, BoxHeight);
        addBox(QString::fromLatin1(row.label), QString::fromLatin1(row.field), labelRect, boxRect);
        ++rule;
    }
    // The lower right group stands on the last five rules.
    const Row lowerRight[] = {{"Country", "Country"},
                              {"Flag", "Flag"},
                              {"Flag 2", "Flag2"},
                              {"Birthday", "Birthday"},
                              {"Work place", "Workplace"}};
    rule = 9;
    for (const Row& row : lowerRight) {
        const QRect boxRect = onRule(rule, RightBoxLeft, RightBoxWidth);
        const QRect labelRect(RightLabelLeft, boxRect.top(), Panel10Left - 4 - RightLabelLeft, BoxHeight);
        addBox(QString::fromLatin1(row.label), QString::fromLatin1(row.field), labelRect, boxRect);
        ++rule;
    }

    auto* notesLabel = new QLabel(QStringLiteral("Notes:"), face);
    notesLabel->setObjectName(QStringLiteral("labelNotes"));
    notesLabel->setGeometry(onRule(0, NotesLeft, 80));
    QPalette labelPalette = notesLabel->palette();
    labelPalette.setColor(QPalette::WindowText, LabelBlue);
    notesLabel->setPalette(labelPalette);
    notesBox = new data::DBMemo(face);
    notesBox->setObjectName(QStringLiteral("memoNotes"));
    notesBox->setGeometry(NotesLeft, faceRule(0) + 4, NotesWidth, NotesHeight);
    notesBox->setFrameShape(QFrame::NoFrame); // borderless like every box of the card
    notesBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notesBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notesBox->setDataSource(&dsRecCard);
    notesBox->setDataField(QStringLiteral("Notes"));
    notesBox->setTabChangesFocus(true); // Tab goes on to the next box; Enter still starts a new line
    notesBox->installEventFilter(this);
    notesLabel->setBuddy(notesBox);
    // Tab follows the card: the left column, the notes at the top right, then the group below them.
    const qsizetype group = m_focusOrder.indexOf(static_cast<QWidget*>(box(QStringLiteral("Country"))));
    m_focusOrder.insert(group < 0 ? m_focusOrder.size() : group, notesBox);

    // The card covers the main window's status bar: what it has to say about typing it says here, in the free
    // place between the notes and the lower right group.
    messageLine = new QLabel(face);
    messageLine->setObjectName(QStringLiteral("messageLine"));
    messageLine->setGeometry(NotesLeft, faceRule(0) + 4 + NotesHeight + 4, NotesWidth,
                             Panel10->y() - (faceRule(0) + 4 + NotesHeight + 4) - 2);
    messageLine->setWordWrap(true);
    messageLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    messageLine->setTextFormat(Qt::PlainText);
    QPalette messagePalette = messageLine->palette();
    messagePalette.setColor(QPalette::WindowText, QColor(0xA0, 0, 0)); // dark red on white, well over 4.5:1
    messageLine->setPalette(messagePalette);

    DBEdit12 = box(QStringLiteral("Email"));
    QFont underlined = DBEdit12->font();
    underlined.setUnderline(true);
    DBEdit12->setFont(underlined);
    QPalette emailPalette = DBEdit12->palette();
    emailPalette.setColor(QPalette::Text, LabelBlue);
    DBEdit12->setPalette(emailPalette);
    DBEdit12->setMouseTracking(true);
    DBEdit12->installEventFilter(this);
    DBEdit12->setCursor(Qt::PointingHandCursor);
}

void TfmRecCard::buildBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("buttonBar"));
    bar->setGeometry(0, FaceHeight, CardWidth, BarHeight);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, BarCream);
    bar->setPalette(pal);
    bar->setAutoFillBackground(true);

    struct Button
    {
        RecCardPanel** panel;
        const char* name;
        const char* caption;
        int width;
        void (TfmRecCard::*handler)();
    };
    const Button buttons[] = {
        {&Panel5, "Panel5", "<< &Back", 58, &TfmRecCard::Panel5Click},
        {&Panel7, "Panel7", "+ &New Record", 75, &TfmRecCard::Panel7Click},
        {&Panel8, "Panel8", "- &Delete Record", 83, &TfmRecCard::Panel8Click},
        {&Panel9, "Panel9", "&Cancel", 83, &TfmRecCard::Panel9Click},
        {&Panel4, "Panel4", "Ne&xt >>", 58, &TfmRecCard::Panel4Click},
        {&Panel6, "Panel6", "C&lose", 58, &TfmRecCard::Button1Click},
    };
    constexpr int Gap = 16;
    int total = -Gap;
    for (const Button& b : buttons)
        total += b.width + Gap;
    int x = (CardWidth - total) / 2;
    for (const Button& b : buttons) {
        auto* panel = new RecCardPanel(QString::fromLatin1(b.caption), b.width, bar);
        panel->setObjectName(QString::fromLatin1(b.name));
        panel->move(x, (BarHeight - panel->height()) / 2);
        connect(panel, &RecCardPanel::clicked, this, b.handler);
        *b.panel = panel;
        m_focusOrder << panel;
        x += b.width + Gap;
    }
    for (qsizetype i = 1; i < m_focusOrder.size(); ++i)
        setTabOrder(m_focusOrder[i - 1], m_focusOrder[i]);
    // Keys for the commands a mouse would click: contact by contact, and Escape as Close does.
    const auto key = [this](QKeySequence sequence, void (TfmRecCard::*handler)()) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    key(QKeySequence(Qt::Key_PageUp), &TfmRecCard::Panel5Click);
    key(QKeySequence(Qt::Key_PageDown), &TfmRecCard::Panel4Click);
    platform::closeOnEscape(this, [this] { Button1Click(); });
}

QList<QWidget*> TfmRecCard::focusOrder() const
{
    QList<QWidget*> boxes;
    for (QWidget* w : m_focusOrder)
        if (!qobject_cast<RecCardPanel*>(w))
            boxes << w;
    return boxes;
}

namespace {
// Back and Next keep the focus on the button, so a screen reader is told which contact the card now shows.
void tellReaderTheContact(const data::Dataset& q)
{
    if (q.currentRow() < 0)
        return;
    QStringList name;
    for (const QString& field : {QStringLiteral("Surname"), QStringLiteral("Firstname")})
        if (const int f = q.fieldIndex(field); f >= 0 && !q.text(q.currentRow(), f).isEmpty())
            name << q.text(q.currentRow(), f);
    platform::tellReader(QStringLiteral("%1, %2 of %3")
                             .arg(name.join(QStringLiteral(", ")))
                             .arg(q.currentRow() + 1)
                             .arg(q.recordCount()));
}
} // namespace

void TfmRecCard::Panel5Click()
{
    platform::guard([this] {
        data::DBEdit::updateRecord(&query());
        query().prior();
        tellReaderTheContact(query());
    });
}

void TfmRecCard::Panel4Click()
{
    platform::guard([this] {
        data::DBEdit::updateRecord(&query());
        query().next();
        tellReaderTheContact(query());
    });
}

void TfmRecCard::Panel7Click()
{
    platform::guard([this] {
        data::DBEdit::updateRecord(&query());
        query().insert();
        // A new contact is typed from its first field, wherever the caret was before.
        if (!m_focusOrder.isEmpty())
            m_focusOrder.first()->setFocus(Qt::OtherFocusReason);
    });
}

void TfmRecCard::Panel8Click()
{
    platform::guard([this] {
        const platform::Answer answer = platform::prompts().message(
            this, QStringLiteral("Confirm"), data::deleteQuestion(&query()),
            platform::Icon::Question, platform::Buttons::OkCancel);
        if (answer == platform::Answer::Ok)
            query().remove();
    });
}

void TfmRecCard::Panel9Click()
{
    platform::guard([this] {
        if (query().isOpen()) // a closed query has nothing to discard
            query().cancelUpdates();
    });
}

void TfmRecCard::Button1Click()
{
    platform::guard([this] {
        data::Dataset& q = query();
        data::DBEdit::updateRecord(&q);
        if (q.state() != data::Dataset::State::Edit && q.state() != data::Dataset::State::Insert)
            q.edit(); // on an empty selection this starts a new row
        platform::sound().playEvent(QStringLiteral("RestoreUp"));
        q.post();
        close();
    });
}

void TfmRecCard::DBEdit12DblClick()
{
    // What the box shows, typing not yet saved included, exactly as it stands.
    const QString address = DBEdit12->text();
    if (platform::shell().open(QStringLiteral("mailto:") + address))
        return;
    // Without a mail program the address still gets where the user can paste it.
    QString text = QStringLiteral("No mail program could be started.");
    if (!address.isEmpty()) {
        QGuiApplication::clipboard()->setText(address);
        text = QStringLiteral("No mail program could be started for %1. The address has been copied to the "
                              "clipboard.")
                   .arg(address);
    }
    platform::prompts().message(this, QStringLiteral("Information"), text, platform::Icon::Information,
                                platform::Buttons::Ok);
}

bool TfmRecCard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        // A character a full box refuses is named on the card itself; the next key typed clears it.
        const QString refused = mainwindow::HintRouter::refusedTyping(watched, *static_cast<QKeyEvent*>(event));
        if (!refused.isEmpty() || !messageLine->text().isEmpty())
            platform::announce(messageLine, refused);
    }
    // The boxes have no frame: the one with the focus is tinted, or only its caret would show where typing goes.
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) && watched->isWidgetType()) {
        auto* box = static_cast<QWidget*>(watched);
        QPalette pal = box->palette();
        const QColor resting = watched == notesBox ? QColor(Qt::white) : QColor(Qt::transparent);
        pal.setColor(QPalette::Base, event->type() == QEvent::FocusIn ? FocusTint : resting);
        box->setPalette(pal);
    }
    if (watched == DBEdit12) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            DBEdit12->setCursor(Qt::PointingHandCursor);
            break;
        case QEvent::MouseButtonDblClick:
            DBEdit12DblClick();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfmRecCard::setVisible(bool visible)
{
    // Coming back from minimised is not being shown; the place is applied before the window manager frames it.
    if (visible && !isVisible())
        FormShow();
    QWidget::setVisible(visible);
}

void TfmRecCard::FormShow()
{
    platform::guard([this] {
        m_settings.emplace(records::settingsFileName());
        // The card keeps no state of its own: the form view's says whether a place was saved.
        if (m_settings->readInteger(QStringLiteral("FormView"), QStringLiteral("Status"), 0) == 0)
            return;
        // The frame's corner, as saved; the place the card was last put at is its default.
        const int top = m_settings->readInteger(QStringLiteral("RecCard"), QStringLiteral("Top"), m_place.y());
        const int left = m_settings->readInteger(QStringLiteral("RecCard"), QStringLiteral("Left"), m_place.x());
        platform::placeWindow(*this, {QPoint(left, top), size()});
    });
}

void TfmRecCard::closeEvent(QCloseEvent* event)
{
    if (records::programIsEnding(*this)) {
        event->accept();
        return;
    }
    // What was typed is saved as a move would save it; a change that cannot be saved keeps the card open.
    if (!platform::guard([this] { query().settle(); })) {
        event->ignore();
        return;
    }
    platform::guard([this] {
        if (!m_settings)
            m_settings.emplace(records::settingsFileName());
        if (records::isNormalState(*this)) {
            m_place = pos();
            m_settings->writeInteger(QStringLiteral("RecCard"), QStringLiteral("Top"), m_place.y());
            m_settings->writeInteger(QStringLiteral("RecCard"), QStringLiteral("Left"), m_place.x());
        }
        m_settings->writeInteger(QStringLiteral("FormView"), QStringLiteral("Status"), records::closingStatus(*this));
    });
    // A settings file that cannot be written is reported once; the card closes all the same.
    m_settings.reset();
    event->accept();
}
