#pragma once

// The record card: form `TfmRecCard`.

#include "data/DataSource.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QFrame>
#include <QMap>
#include <QWidget>
#include <optional>

class QLabel;

namespace data {
class DBEdit;
class DBMemo;
} // namespace data

// A flat panel with a sunken inner edge that acts as a button: Tab reaches it, it shows the focus with a frame and
// answers its Alt-key, Space and Enter as well as a click.
class RecCardPanel : public QAbstractButton
{
    Q_OBJECT
public:
    RecCardPanel(const QString& caption, int width, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The ruled index card behind the record card's fields.
class RecCardFace : public QWidget
{
    Q_OBJECT
public:
    explicit RecCardFace(QWidget* parent);

    // The picture: 583 x 413, white, with fourteen light-blue rules.
    static constexpr int PictureWidth = 583;
    static constexpr int PictureHeight = 413;
    // Where the picture's top-left corner lies relative to the face: it overhangs, and is clipped, on every side.
    static constexpr QPoint PictureOffset{-8, -3};
    [[nodiscard]] static const QList<int>& ruleRows(); // in picture pixels from its top
    [[nodiscard]] static QImage picture();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The record card: one contact at a time on a ruled index card, bound to the shared contact query.
class TfmRecCard : public QWidget
{
    Q_OBJECT
public:
    // query: the contact query the card shows; parent: the main window, whose closing ends the program.
    explicit TfmRecCard(data::Dataset& query, QWidget* parent = nullptr);
    ~TfmRecCard() override;

    static constexpr int FaceHeight = 333;
    static constexpr int BarHeight = 25;

    data::DataSource dsRecCard;
    RecCardFace* face = nullptr;
    QFrame* Panel2 = nullptr;         // red rule between the left column's labels and boxes
    QFrame* Panel10 = nullptr;        // red rule of the lower right group
    RecCardPanel* Panel5 = nullptr;   // "<< Back"
    RecCardPanel* Panel7 = nullptr;   // "+ New Record"
    RecCardPanel* Panel8 = nullptr;   // "- Delete Record"
    RecCardPanel* Panel9 = nullptr;   // "Cancel"
    RecCardPanel* Panel4 = nullptr;   // "Next >>"
    RecCardPanel* Panel6 = nullptr;   // "Close"
    data::DBEdit* DBEdit12 = nullptr; // Email
    data::DBMemo* notesBox = nullptr;
    QLabel* messageLine = nullptr; // what the card has to say about typing (a full field), under the notes

    // The single-line box of a field (by field name), or null.
    [[nodiscard]] data::DBEdit* box(const QString& field) const { return m_boxes.value(field); }
    // The boxes in their focus order, the notes box last.
    [[nodiscard]] QList<QWidget*> focusOrder() const;

    void Panel5Click();  // one row back (also PageUp)
    void Panel4Click();  // one row forward (also PageDown)
    void Panel7Click();  // new row before the current one
    void Panel8Click();  // delete after confirmation
    void Panel9Click();  // cancel changes
    void Button1Click(); // save and close
    void DBEdit12DblClick();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void buildFace();
    void buildBar();
    [[nodiscard]] data::Dataset& query() const;
    data::DBEdit* addBox(const QString& label, const QString& field, const QRect& labelRect, const QRect& boxRect);

    QMap<QString, data::DBEdit*> m_boxes;
    QList<QWidget*> m_focusOrder;
    std::optional<IniFile> m_settings; // open from showing to closing
    QPoint m_place{354, 320};          // outer position: the first one, then where it was last closed
};
