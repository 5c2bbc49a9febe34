#pragma once

// The form view of one contact: form `TfmHomeForm`.

#include "data/widgets/DBNavigator.h"
#include "data/DataSource.h"
#include "platform/IniFile.h"

#include <QMap>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QTabWidget;

namespace data {
class DBEdit;
class DBMemo;
} // namespace data

// The form view: every stored field of the current contact, the names on top and two pages below, bound to the
// shared contact query, with a record navigator.
class TfmHomeForm : public QWidget
{
    Q_OBJECT
public:
    // query: the contact query the form shows; parent: the main window, whose closing ends the program.
    explicit TfmHomeForm(data::Dataset& query, QWidget* parent = nullptr);
    ~TfmHomeForm() override;

    static constexpr int ClientWidth = 329;
    static constexpr int ClientHeight = 383;

    data::DataSource dsFormView;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Name Address Phones"
    QWidget* TabSheet2 = nullptr; // "More Info"
    data::DBNavigator* DBNavigator1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // "&Close"
    data::DBMemo* notesBox = nullptr;
    QLabel* villageLabel = nullptr;

    // The single-line box of a field (by field name), or null.
    [[nodiscard]] data::DBEdit* box(const QString& field) const { return m_boxes.value(field); }
    [[nodiscard]] QList<QWidget*> focusOrder() const { return m_focusOrder; }

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void FormActivate();
    void setFixedFrame(bool fixed);
    data::DBEdit* addBox(QWidget* page, const QString& label, const QString& field, int x, int y, int labelWidth);

    QMap<QString, data::DBEdit*> m_boxes;
    QList<QWidget*> m_focusOrder;
    std::optional<IniFile> m_settings; // open from showing to closing
    std::optional<QPoint> m_place;     // the frame's corner when last closed in the normal state
    bool m_backFromBox = false;        // lost the activation to a message box of its own
};
