// The processing program's scrolling view: a page of 16000 x 16000 page units (0.1 mm, y up)
// on which the display of the view state is drawn through the canvas, with the mouse and the
// keyboard handed to the displays and to the line editing.
#pragma once

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QPoint>
#include <functional>
#include <optional>
#include <utility>

#include "common/canvas.h"
#include "display/line_view.h"
#include "processing/document.h"

class QRubberBand;

class CBrivaneView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kPageUnits = 16000;

    explicit CBrivaneView(CBrivaneContext& ctx, QWidget* parent = nullptr);

    // Screen pixels per page unit (the screen's logical resolution / 254).
    double PixelsPerUnit() const;
    // Page point (y up, so points on the page have y <= 0) under a viewport pixel, and back.
    CPoint PageAt(QPoint pixel) const;
    QPoint PixelAt(CPoint page) const;
    // The visible client area in page units (what a plot is fitted to on its first draw).
    CClientSize ClientSize() const;

    // Plan position (easting, northing) of a page point on the GPS map; supplied by the map
    // display. Without it clicks in flag-setting mode add no flag and the read-out shows page
    // positions.
    using PlanPosition =
        std::function<std::optional<std::pair<double, double>>(CBrivaneContext&, int x, int y)>;
    void SetPlanPosition(PlanPosition planPosition) { planPosition_ = std::move(planPosition); }

    // The status bar's read-out for a page point: "Lat.=%.6f Lon.=%.6f" on the map, distance
    // and value in the line, section and one-dimensional displays (PlotReadout), else the
    // page position "%d %d".
    QString ReadoutAt(CPoint page) const;

    // While a long command changes the document the view shows the picture it had when the
    // command began, with the command's progress text at page point (10, -100), and takes no
    // mouse or key input.
    void Freeze();
    void Unfreeze();
    bool IsFrozen() const { return !frozen_.isNull(); }
    void SetProgressText(const QString& text);

signals:
    // A key that runs a command: Delete runs "Cut", the arrow keys outside gate selection the
    // scale buttons.
    void commandRequested(int id);
    // The mouse or the keyboard changed the document or the view: the frame refreshes its
    // command states.
    void stateChanged();
    void readoutChanged(const QString& text);
    // A draw finished: what it laid out (the extents, a fitted scale) may enable commands.
    void drawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void UpdateScrollBars();
    void Changed();

    CBrivaneContext& ctx_;
    PlanPosition planPosition_;
    QRubberBand* rubberBand_ = nullptr;
    QPixmap frozen_;
    QString progressText_;
    std::optional<QPoint> dragStart_;
};
