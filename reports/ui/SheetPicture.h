#pragma once

#include "reports/stocks/LabelStock.h"

#include <QWidget>
#include <optional>

// A picture of a label sheet: every label with its number in the stock's order, the labels before the start label
// shown as used. Clicking a label makes it the start label.
class TSheetPicture : public QWidget
{
    Q_OBJECT
public:
    explicit TSheetPicture(QWidget* parent = nullptr);

    // No stock: an empty picture.
    void setStock(const reports::LabelStock* stock);
    void setStartAtLabel(int label);
    [[nodiscard]] int startAtLabel() const { return m_start; }

    // The label (from 1) under a point of the widget; 0 where there is none.
    [[nodiscard]] int labelAt(const QPointF& point) const;
    // Where a label (from 1) is drawn, in widget coordinates.
    [[nodiscard]] QRectF labelArea(int label) const;

    [[nodiscard]] QSize sizeHint() const override { return {220, 300}; }

signals:
    void startAtLabelChanged(int label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] double scale() const;
    [[nodiscard]] QPointF paperOrigin() const;

    std::optional<reports::LabelStock> m_stock;
    int m_start = 1;
};
