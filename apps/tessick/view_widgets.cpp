#include "apps/tessick/view_widgets.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "logger/tessick_menu.h"
#include "platform/qt_canvas.h"
#include "platform/qt_form.h"

namespace {
constexpr double kUnitsPerInch = 254.0;
// How often the model window looks for a newly inverted column of the live section.
constexpr int kLivePollMs = 200;
}  // namespace

QString AuxWindowTitle(int iWindow) {
    switch (iWindow) {
        case kProfileWindow:
            return Q(Tr("Profile", "プロファイル"));
        case kGPSWindow:
            return Q("GPS");
        case kModelWindow:
            return Q(Tr("Resistivity model", "比抵抗モデル"));
        default:
            return Q(Tr("Logging", "ログ"));
    }
}

class CRealtimeViewWidget::Page : public QWidget {
public:
    explicit Page(CRealtimeViewWidget& owner) : owner_(owner) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        owner_.Draw(painter, size());
    }

private:
    CRealtimeViewWidget& owner_;
};

CRealtimeViewWidget::CRealtimeViewWidget(CTessickDoc& doc, int iWindow, QWidget* parent)
    : QScrollArea(parent), doc_(doc), iWindow_(iWindow) {
    setObjectName(QString("view%1").arg(iWindow));
    setWindowTitle(AuxWindowTitle(iWindow));
    setFocusPolicy(Qt::StrongFocus);
    page_ = new Page(*this);
    page_->setObjectName("page");
    setWidget(page_);
    setWidgetResizable(true);
    setBackgroundRole(QPalette::Base);
    switch (iWindow) {
        case kProfileWindow:
            profile_ = std::make_unique<CProfileView>(doc.state);
            sweep_.setInterval(CProfileView::kTimerPeriod);
            connect(&sweep_, &QTimer::timeout, this, [this] {
                if (profile_->OnTimer(doc_.state.Clock().Now(), doc_.lastDataArrival)) Redraw();
            });
            sweep_.start();
            break;
        case kModelWindow:
            model_ = std::make_unique<CResistivityModelView>(doc.Language());
            live_ = std::make_unique<CLiveSectionDrawer>(doc.Language());
            livePoll_.setInterval(kLivePollMs);
            connect(&livePoll_, &QTimer::timeout, this, [this] {
                if (liveHost_ == nullptr || model_->iMode != CResistivityModelView::kInvertedSection)
                    return;
                const std::uint64_t n = liveHost_->Published();
                if (n != nLiveSeen_) Redraw();
            });
            livePoll_.start();
            break;
        case kGPSWindow:
            gps_ = std::make_unique<CGPSView>(doc.Language());
            break;
        default:
            break;
    }
    UpdatePageSize();
}

double CRealtimeViewWidget::PixelsPerUnit() const {
    const int dpi = logicalDpiX();
    return (dpi > 0 ? dpi : 96) / kUnitsPerInch;
}

void CRealtimeViewWidget::UpdatePageSize() {
    // Text tables keep their columns at fixed page positions and scroll; plots fit.
    const bool bText = (profile_ && profile_->iMode == CProfileView::kText) ||
                       (gps_ && gps_->iMode == 0);
    if (bText) {
        const int w = profile_ ? CProfileView::kScrollWidth : CGPSView::kScrollWidth;
        const int h = profile_ ? CProfileView::kScrollHeight : CGPSView::kScrollHeight;
        page_->setMinimumSize(static_cast<int>(w * PixelsPerUnit()),
                              static_cast<int>(h * PixelsPerUnit()));
    } else {
        page_->setMinimumSize(0, 0);
    }
}

void CRealtimeViewWidget::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    page_->update();
}

void CRealtimeViewWidget::Redraw() {
    page_->update();
}

void CRealtimeViewWidget::Draw(QPainter& painter, QSize pixels) {
    painter.fillRect(QRect(QPoint(0, 0), pixels), Qt::white);
    const double ppu = PixelsPerUnit();
    CQtCanvas canvas(painter, ppu);
    // The visible client area (not the scrolled page) is what the plots fit.
    const QSize client = viewport()->size();
    const CViewSize size{static_cast<int>(client.width() / ppu),
                         static_cast<int>(client.height() / ppu)};
    CAcquisitionState& s = doc_.state;
    if (profile_) {
        profile_->Draw(canvas, s, doc_.parameter, size, s.Clock().Now().time);
    } else if (model_ && model_->iMode == CResistivityModelView::kInvertedSection) {
        if (liveHost_ != nullptr) nLiveSeen_ = liveHost_->Published();
        live_->iLanguage = doc_.Language();
        live_->Draw(canvas, liveHost_ != nullptr ? liveHost_->Section() : nullptr,
                    {size.iWidth, size.iHeight});
    } else if (model_)
        model_->Draw(canvas, s, doc_.parameter, size);
    else if (gps_)
        gps_->Draw(canvas, s, doc_.parameter, size);
    else
        CLoggingView::Draw(canvas, s, 1.0 / ppu);
}

void CRealtimeViewWidget::SetLiveSection(const CLiveSectionHost* host,
                                         std::function<void()> editParameters) {
    liveHost_ = host;
    editLive_ = std::move(editParameters);
    Redraw();
}

QImage CRealtimeViewWidget::Grab() {
    return page_->grab().toImage();
}

bool CRealtimeViewWidget::Command(int iCommand) {
    if (model_ && iCommand == kCmdLiveSectionParameters) {
        if (editLive_) editLive_();
        Redraw();
        return true;
    }
    bool handled = false;
    if (profile_)
        handled = profile_->Command(iCommand, doc_.prompter, doc_.state.sDataFolder.string());
    else if (model_)
        handled = model_->Command(iCommand);
    else if (gps_)
        handled = gps_->Command(iCommand);
    if (handled) {
        UpdatePageSize();
        Redraw();
    }
    return handled;
}

bool CRealtimeViewWidget::IsChecked(int iCommand) const {
    if (profile_) return profile_->IsChecked(iCommand);
    if (model_) return model_->IsChecked(iCommand);
    if (gps_) return gps_->IsChecked(iCommand);
    return false;
}

namespace {
void AddEntries(QMenu& menu, const std::vector<CMenuEntry>& entries, int language,
                CRealtimeViewWidget& view) {
    for (const CMenuEntry& e : entries) {
        if (e.IsSeparator()) {
            menu.addSeparator();
        } else if (!e.items.empty()) {
            QMenu* sub = menu.addMenu(Q(e.Text(language)));
            AddEntries(*sub, e.items, language, view);
        } else {
            QAction* a = menu.addAction(Q(e.Text(language)));
            a->setObjectName(QString::number(e.iCommand));
            a->setCheckable(e.bCheckable);
            a->setChecked(view.IsChecked(e.iCommand));
            const int id = e.iCommand;
            QObject::connect(a, &QAction::triggered, &view, [&view, id] { view.Command(id); });
        }
    }
}
}  // namespace

void CRealtimeViewWidget::FillViewMenu(QMenu& menu) {
    const auto& entries = TessickViewMenu(iWindow_);
    // The menu resource's one top-level "View" menu: its items.
    for (const CMenuEntry& top : entries) AddEntries(menu, top.items, doc_.Language(), *this);
}

void CRealtimeViewWidget::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu;
    FillViewMenu(menu);
    if (!menu.isEmpty()) menu.exec(event->globalPos());
}
