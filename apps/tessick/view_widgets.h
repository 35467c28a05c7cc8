// The auxiliary windows' views: each draws its real-time view of the document through the
// canvas on every update; the profile view's own one-second timer moves the sweep. The text
// tables need the views' scroll sizes and scroll; the plots fit the window.
#pragma once

#include <QScrollArea>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "live/live_view.h"
#include "logger/realtime_views.h"
#include "logger/tessick_doc.h"

class QMenu;

class CRealtimeViewWidget : public QScrollArea {
public:
    CRealtimeViewWidget(CTessickDoc& doc, int iWindow, QWidget* parent = nullptr);

    int Window() const { return iWindow_; }
    // A "View" menu command of this window; true when handled.
    bool Command(int iCommand);
    bool IsChecked(int iCommand) const;
    // Fills a menu with this window's "View" items (empty for the logging window).
    void FillViewMenu(QMenu& menu);
    // Redraw from the rings.
    void Redraw();
    // The drawing as it stands, for the window pictures.
    QImage Grab();

    // The model window's inverted section: the live section's owner, and what "Inverted
    // section parameters..." does.
    void SetLiveSection(const CLiveSectionHost* host, std::function<void()> editParameters);
    CLiveSectionDrawer* LiveDrawer() { return live_.get(); }

    CProfileView* Profile() { return profile_.get(); }
    CResistivityModelView* Model() { return model_.get(); }
    CGPSView* GPS() { return gps_.get(); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Page;
    void Draw(QPainter& painter, QSize pixels);
    void UpdatePageSize();
    double PixelsPerUnit() const;

    CTessickDoc& doc_;
    int iWindow_;
    Page* page_ = nullptr;
    std::unique_ptr<CProfileView> profile_;
    std::unique_ptr<CResistivityModelView> model_;
    std::unique_ptr<CGPSView> gps_;
    QTimer sweep_;
    // The inverted section: redrawn from a timer when the worker published something new.
    const CLiveSectionHost* liveHost_ = nullptr;
    std::function<void()> editLive_;
    std::unique_ptr<CLiveSectionDrawer> live_;
    QTimer livePoll_;
    std::uint64_t nLiveSeen_ = 0;
};

// The window title of an auxiliary window.
QString AuxWindowTitle(int iWindow);
