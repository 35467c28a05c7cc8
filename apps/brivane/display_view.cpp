#include "apps/brivane/display_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScrollBar>
#include <cmath>

#include "common/text_format.h"
#include "common/utm.h"
#include "display/views.h"
#include "platform/qt_canvas.h"
#include "positioning/positioning.h"
#include "processing/commands.h"
#include "processing/console_transfer.h"
#include "processing/line_editing.h"

namespace {

// One page unit is 0.1 mm: 254 units per inch.
constexpr double kUnitsPerInch = 254.0;

}  // namespace

CBrivaneView::CBrivaneView(CBrivaneContext& ctx, QWidget* parent)
    : QAbstractScrollArea(parent), ctx_(ctx) {
    setObjectName("view");
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    rubberBand_ = new QRubberBand(QRubberBand::Rectangle, viewport());
    UpdateScrollBars();
}

double CBrivaneView::PixelsPerUnit() const {
    const int dpi = viewport()->logicalDpiX();
    return (dpi > 0 ? dpi : 96) / kUnitsPerInch;
}

CPoint CBrivaneView::PageAt(QPoint pixel) const {
    const double ppu = PixelsPerUnit();
    const double x = (pixel.x() + horizontalScrollBar()->value()) / ppu;
    const double y = (pixel.y() + verticalScrollBar()->value()) / ppu;
    return {static_cast<int>(std::lround(x)), -static_cast<int>(std::lround(y))};
}

QPoint CBrivaneView::PixelAt(CPoint page) const {
    const double ppu = PixelsPerUnit();
    return {static_cast<int>(std::lround(page.x * ppu)) - horizontalScrollBar()->value(),
            static_cast<int>(std::lround(-page.y * ppu)) - verticalScrollBar()->value()};
}

CClientSize CBrivaneView::ClientSize() const {
    const double ppu = PixelsPerUnit();
    return {static_cast<int>(viewport()->width() / ppu),
            static_cast<int>(viewport()->height() / ppu)};
}

QString CBrivaneView::ReadoutAt(CPoint page) const {
    if (planPosition_ && ctx_.view.iViewMode == kViewGPSMap) {
        if (const auto plan = planPosition_(ctx_, page.x, page.y)) {
            const auto [easting, northing] = *plan;
            // In the zone and hemisphere of the survey's first fix, as the map's corners.
            if (const auto reference = SurveyUTMReference(ctx_.doc.survey)) {
                double lat = 0.0, lon = 0.0;
                FromUTM(*reference, easting, northing, lat, lon);
                if (std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0)
                    return QString::fromStdString(FormatC("Lat.=%.6f Lon.=%.6f", lat, lon));
            }
            return QString::fromStdString(FormatC("%f %f", easting, northing));
        }
    }
    if (const auto text = PlotReadout(ctx_, page.x, page.y)) return QString::fromStdString(*text);
    return QString::fromStdString(FormatC("%d %d", page.x, page.y));
}

void CBrivaneView::UpdateScrollBars() {
    const int page = static_cast<int>(std::lround(kPageUnits * PixelsPerUnit()));
    const QSize size = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, page - size.width()));
    verticalScrollBar()->setRange(0, std::max(0, page - size.height()));
    horizontalScrollBar()->setPageStep(size.width());
    verticalScrollBar()->setPageStep(size.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

void CBrivaneView::Changed() {
    viewport()->update();
    emit stateChanged();
}

void CBrivaneView::Freeze() {
    if (IsFrozen()) return;
    frozen_ = viewport()->grab();
    progressText_.clear();
    rubberBand_->hide();
    dragStart_.reset();
}

void CBrivaneView::Unfreeze() {
    if (!IsFrozen()) return;
    frozen_ = QPixmap();
    progressText_.clear();
    viewport()->update();
}

void CBrivaneView::SetProgressText(const QString& text) {
    progressText_ = text;
    viewport()->update();
}

void CBrivaneView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    if (IsFrozen()) {
        painter.drawPixmap(0, 0, frozen_);
        if (!progressText_.isEmpty()) {
            // The text's top left at the page point, on a white ground so that it reads over
            // the plot.
            const QPoint at = PixelAt({10, -100});
            QRect box = painter.fontMetrics().boundingRect(progressText_);
            box.moveTopLeft(at);
            painter.fillRect(box.adjusted(-2, 0, 2, 0), Qt::white);
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, progressText_);
        }
        return;
    }
    painter.fillRect(viewport()->rect(), Qt::white);
    CQtCanvas canvas(painter, PixelsPerUnit(),
                     QPointF(-horizontalScrollBar()->value(), -verticalScrollBar()->value()));
    DrawDisplay(canvas, ctx_, ClientSize());
    emit drawn();
}

void CBrivaneView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CBrivaneView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CBrivaneView::mousePressEvent(QMouseEvent* event) {
    if (IsFrozen()) return;
    if (event->button() != Qt::LeftButton) return;
    const QPoint pixel = event->position().toPoint();
    const CPoint p = PageAt(pixel);
    switch (ctx_.view.iMouseMode) {
        case kMouseDisplay1:
            if (ViewLeftClick(ctx_, p.x, p.y) > 0) Changed();
            break;
        case kMouseDisplay4:
            dragStart_ = pixel;
            rubberBand_->setGeometry(QRect(pixel, QSize()));
            rubberBand_->show();
            break;
        case kMouseFlags:
            if (planPosition_ && ctx_.view.iViewMode == kViewGPSMap) {
                if (const auto plan = planPosition_(ctx_, p.x, p.y)) {
                    CPositioningView positioning{ctx_.view.iViewMode, ctx_.view.iMouseMode};
                    if (OnFlagMapClick(ctx_.doc.survey, positioning, plan->first, plan->second))
                        Changed();
                }
            }
            break;
        default:
            break;
    }
}

void CBrivaneView::mouseMoveEvent(QMouseEvent* event) {
    if (IsFrozen()) return;
    const QPoint pixel = event->position().toPoint();
    emit readoutChanged(ReadoutAt(PageAt(pixel)));
    if (dragStart_) rubberBand_->setGeometry(QRect(*dragStart_, pixel).normalized());
}

void CBrivaneView::mouseReleaseEvent(QMouseEvent* event) {
    if (IsFrozen()) return;
    if (event->button() != Qt::LeftButton || !dragStart_) return;
    const CPoint a = PageAt(*dragStart_);
    const CPoint b = PageAt(event->position().toPoint());
    dragStart_.reset();
    rubberBand_->hide();
    if (ViewSelectRectangle(ctx_, a.x, a.y, b.x, b.y) > 0) Changed();
}

void CBrivaneView::keyPressEvent(QKeyEvent* event) {
    if (IsFrozen()) return;
    ctx_.view.bFineStep = (event->modifiers() & Qt::ShiftModifier) ? 1 : 0;
    const int key = event->key();
    // Escape ends a running console transfer before anything else it does.
    if (key == Qt::Key_Escape && ctx_.view.bTransfer == 1) {
        StopConsoleTransfer(ctx_);
        Changed();
        return;
    }
    if (ctx_.view.iMouseMode == kMouseGate) {
        std::optional<GateKey> gate;
        if (key == Qt::Key_Left) gate = GateKey::Left;
        if (key == Qt::Key_Right) gate = GateKey::Right;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) gate = GateKey::Enter;
        if (key == Qt::Key_Escape) gate = GateKey::Escape;
        if (gate) {
            if (OnGateKey(ctx_, *gate)) Changed();
            return;
        }
    }
    switch (key) {
        case Qt::Key_Delete:
            emit commandRequested(kCmdCut);
            return;
        case Qt::Key_Left:
            emit commandRequested(kCmdHScaleDown);
            return;
        case Qt::Key_Right:
            emit commandRequested(kCmdHScaleUp);
            return;
        case Qt::Key_Up:
            emit commandRequested(kCmdVScaleUp);
            return;
        case Qt::Key_Down:
            emit commandRequested(kCmdVScaleDown);
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
    }
}

void CBrivaneView::keyReleaseEvent(QKeyEvent* event) {
    // Some systems still report Shift among the modifiers of its own release.
    ctx_.view.bFineStep =
        event->key() != Qt::Key_Shift && (event->modifiers() & Qt::ShiftModifier) ? 1 : 0;
    QAbstractScrollArea::keyReleaseEvent(event);
}
