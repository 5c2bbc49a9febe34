#pragma once

// The About box: form `TfmCredits`.

#include <QStringList>
#include <QWidget>

class QTextEdit;

// The credits window, opened from the about box. Made once at start-up and only hidden when closed, so it outlives
// the box it was opened from.
class TfmCredits : public QWidget
{
    Q_OBJECT
public:
    explicit TfmCredits(QWidget* parent = nullptr);

    // The lines of the window, in order.
    [[nodiscard]] static QStringList creditLines();

    QTextEdit* RichEdit1 = nullptr;
};
