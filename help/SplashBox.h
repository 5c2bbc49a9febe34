#pragma once

#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;
class QTimer;
class TfmCredits;

// The about box. A new one is made for every request; it stays on top of every window and closes and deletes
// itself once its timer fires, 3 seconds after it was made. It has no other way to close.
class TfmSplash : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LifetimeMs = 3000;

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
    QLabel* pnlCredits = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<TfmCredits> m_credits;
};

namespace help {

// Help > About: makes and shows a new about box without waiting for it. A box still counting down when owner is
// destroyed (the program ends) goes with it.
void miAboutClick(TfmCredits* credits, QObject* owner);

} // namespace help
