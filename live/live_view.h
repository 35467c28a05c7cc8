// The logger's view of the live section: its settings as the logger keeps them, the owner
// that starts and stops the worker and hands it every record the survey file took, and the
// drawing of the published section with the processing program's model section drawing
// (colour blocks and colour scale), the newest column outlined and the misfit per column as a
// curve above the section. No Qt here.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/canvas.h"
#include "common/color_scale.h"
#include "common/prompter.h"
#include "display/section_view.h"
#include "live/live_section.h"

class CAcquisitionState;

// The live section's part of the logger's settings.
struct LiveViewSettings {
    bool bOn = false;  // a worker computes the section while lines are recorded
    LiveSectionSettings section;
};

// The dialog "Inverted section parameters": the settings in and, on OK, out.
struct CDlgLiveSection : CDialogValues {
    std::string DialogName() const override { return "Inverted section parameters"; }
    LiveViewSettings values;
};

// Reads "bLiveSection", "fLiveCellSize", "nLiveLayer", "fLiveDepth", "nLiveIteration",
// "bLiveGPS" and "fLiveMarkerSpacing"; values that do not pass Validate give the defaults.
LiveViewSettings ReadLiveViewSettings();
void WriteLiveViewSettings(const LiveViewSettings& settings);

// Owns the worker while the live section is on and listens to the state's written records
// (instrument 0, the record already in the file: the worker only queues it).
class CLiveSectionHost {
public:
    explicit CLiveSectionHost(CAcquisitionState& state);
    ~CLiveSectionHost();
    CLiveSectionHost(const CLiveSectionHost&) = delete;
    CLiveSectionHost& operator=(const CLiveSectionHost&) = delete;

    // On: a new worker with these settings (the section starts again with the next line's
    // geometry record); off: the worker ends and nothing listens to the records.
    void Apply(const LiveViewSettings& settings);
    const LiveViewSettings& Settings() const { return settings_; }
    // Null while off.
    const CLiveSection* Section() const { return section_.get(); }
    // Grows whenever the worker published an inverted column (any thread may read it).
    std::uint64_t Published() const { return published_.load(); }

private:
    CAcquisitionState& state_;
    LiveViewSettings settings_;
    std::shared_ptr<std::atomic<std::uint64_t>> counter_;
    std::atomic<std::uint64_t>& published_;
    std::unique_ptr<CLiveSection> section_;
};

// What the view shows when there is no section to draw.
std::string LiveSectionOffText(int language);
std::string LiveSectionWaitingText(int language);
// The status line under the section: columns, inverted, median misfit, newest column.
std::string LiveSectionStatusText(const LiveSectionSummary& summary, int language);

class CLiveSectionDrawer {
public:
    explicit CLiveSectionDrawer(int language);

    // Draws the published state fitted to client (page units); false, with only a text
    // drawn, when the section is off (null) or has no column with a model yet.
    bool Draw(CCanvas& canvas, const CLiveSection* section, CClientSize client);

    CSectionDrawer drawer;
    CColorScale scale;
    int nColumnDrawn = 0;  // columns of the last draw
    int iMarkedColumn = -1;
    int iLanguage = 0;
};
