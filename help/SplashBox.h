#pragma once

// The start-up splash: form `TfmSplash`.

#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class TfmCredits;

// The about box. A new one is made for every request; it stays on top of every window until it is clicked or a key
// is pressed (Tab only moves to "Credits"), then closes and deletes itself. A box that vanished on a timer could not
// be read at a reader's pace nor by a screen reader.
class TfmSplash : public QWidget
{
    Q_OBJECT
public:
    // credits: the window the "Credits" panel shows (made once at start-up); none leaves the panel without effect.
    explicit TfmSplash(TfmCredits* credits = nullptr, QWidget* parent = nullptr);

    // The "Credits" panel: shows the credits window without waiting for it.
    void pnlCreditsClick();

    QFrame* Panel1 = nullptr; // the cream face
    QLabel* ProgramIcon = nullptr;
    QFrame* Panel2 = nullptr; // the framed block of text
    QLabel* ProductName = nullptr;
    QLabel* Comments = nullptr;
    QLabel* DevelopedBy = nullptr;
    QLabel* Developer = nullptr;
    QLabel* Version = nullptr;
    QPushButton* pnlCredits = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointer<TfmCredits> m_credits;
};

namespace help {

// Help > About: makes and shows a new about box without waiting for it. A box still counting down when owner is
// destroyed (the program ends) goes with it.
void miAboutClick(TfmCredits* credits, QObject* owner);

} // namespace help
