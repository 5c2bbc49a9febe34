#pragma once

// The search dialog's help note: form `TfmSearchHelp`.

#include <QWidget>

class QPlainTextEdit;

// The search help window: a heading band and a read-only text on how to search.
class TfmSearchHelp : public QWidget
{
    Q_OBJECT
public:
    explicit TfmSearchHelp(QWidget* parent = nullptr);

    [[nodiscard]] static QStringList helpLines();

    QPlainTextEdit* Memo1 = nullptr;
};
