#pragma once

#include <QWidget>

namespace reports {

class Rendering;

// One page of a rendering on a grey desk, drawn by the page painter at a zoom (pixels per millimetre). The
// widget is as large as the sheet at that zoom plus a margin of desk around it.
class PreviewPage : public QWidget
{
    Q_OBJECT
public:
    explicit PreviewPage(QWidget* parent = nullptr);

    static constexpr int kDeskMargin = 12; // pixels of desk around the sheet

    // The rendering must outlive the widget or be replaced before it goes; index -1 shows the empty desk.
    void setPage(const Rendering* rendering, int index);
    void setPixelsPerMm(double pixelsPerMm);
    [[nodiscard]] double pixelsPerMm() const { return m_pixelsPerMm; }
    [[nodiscard]] int pageIndex() const { return m_index; }
    [[nodiscard]] QSizeF pageSizeMm() const;

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Rendering* m_rendering = nullptr;
    int m_index = -1;
    double m_pixelsPerMm = 1.0;
};

} // namespace reports
