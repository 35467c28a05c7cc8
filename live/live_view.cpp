#include "live/live_view.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "common/axes.h"
#include "common/settings.h"
#include "common/text_format.h"

namespace {

// The section reaches half as deep again as the top of the model's half-space, rounded up to
// whole metres.
constexpr float kDepthBelowHalfSpace = 1.5f;
constexpr int kTextX = 100;

std::string ByLanguage(int language, const char* english, const char* japanese) {
    return language == 1 ? japanese : english;
}

}  // namespace

LiveViewSettings ReadLiveViewSettings() {
    LiveViewSettings s;
    const LiveSectionSettings defaults;
    LiveSectionSettings& l = s.section;
    s.bOn = ReadSettingInt("bLiveSection", 0) == 1;
    l.fCellSize = static_cast<float>(ReadSettingReal("fLiveCellSize", defaults.fCellSize));
    l.nLayer = ReadSettingInt("nLiveLayer", defaults.nLayer);
    l.fDepth = static_cast<float>(ReadSettingReal("fLiveDepth", defaults.fDepth));
    l.nIteration = ReadSettingInt("nLiveIteration", defaults.nIteration);
    l.placement =
        ReadSettingInt("bLiveGPS", 0) == 1 ? LivePlacement::GPSLine : LivePlacement::Markers;
    l.dMarkerSpacing = ReadSettingReal("fLiveMarkerSpacing", defaults.dMarkerSpacing);
    if (!l.Validate().empty()) {
        const bool on = s.bOn;
        s = LiveViewSettings{};
        s.bOn = on;
    }
    return s;
}

void WriteLiveViewSettings(const LiveViewSettings& s) {
    WriteSettingInt("bLiveSection", s.bOn ? 1 : 0);
    WriteSettingReal("fLiveCellSize", s.section.fCellSize);
    WriteSettingInt("nLiveLayer", s.section.nLayer);
    WriteSettingReal("fLiveDepth", s.section.fDepth);
    WriteSettingInt("nLiveIteration", s.section.nIteration);
    WriteSettingInt("bLiveGPS", s.section.placement == LivePlacement::GPSLine ? 1 : 0);
    WriteSettingReal("fLiveMarkerSpacing", s.section.dMarkerSpacing);
}

// ---------------------------------------------------------------------------------------------

CLiveSectionHost::CLiveSectionHost(CAcquisitionState& state)
    : state_(state),
      counter_(std::make_shared<std::atomic<std::uint64_t>>(0)),
      published_(*counter_) {}

CLiveSectionHost::~CLiveSectionHost() {
    Apply(LiveViewSettings{});
}

void CLiveSectionHost::Apply(const LiveViewSettings& settings) {
    // The old worker stops before the new one hears anything.
    state_.onRecordWritten = nullptr;
    section_.reset();
    settings_ = settings;
    if (!settings.bOn || !settings.section.Validate().empty()) {
        settings_.bOn = false;
        ++published_;  // the view shows the change
        return;
    }
    section_ = std::make_unique<CLiveSection>(settings.section);
    // The worker's thread only counts; the window looks at the count on its own timer.
    section_->onColumnInverted = [counter = counter_](int, std::uint64_t) { ++*counter; };
    CLiveSection* live = section_.get();
    state_.onRecordWritten = [live](int instrument, const std::string& record) {
        if (instrument == kFirstInstrument) live->TakeRecord(record);
    };
    ++published_;
}

// ---------------------------------------------------------------------------------------------

std::string LiveSectionOffText(int language) {
    return ByLanguage(language,
                      "The inverted section is off: turn it on in \"Inverted section "
                      "parameters\".",
                      "逆解析断面はオフです: 「逆解析断面のパラメータ」でオンにしてください。");
}

std::string LiveSectionWaitingText(int language) {
    return ByLanguage(language, "Inverted section: no column yet (the line's first MARK places it).",
                      "逆解析断面: まだ列がありません (測線の最初の MARK で配置します)。");
}

std::string LiveSectionStatusText(const LiveSectionSummary& s, int language) {
    return FormatC(ByLanguage(language,
                              "Columns %d, inverted %d, median misfit %.4f, newest column %d",
                              "列 %d、逆解析済み %d、ミスフィット中央値 %.4f、最新の列 %d")
                       .c_str(),
                   s.nColumn, s.nInverted, static_cast<double>(std::max(s.fMedianMisfit, 0.0f)),
                   s.iNewestColumn);
}

CLiveSectionDrawer::CLiveSectionDrawer(int language) : drawer(language), iLanguage(language) {}

bool CLiveSectionDrawer::Draw(CCanvas& canvas, const CLiveSection* section, CClientSize client) {
    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.SetFont(TickLabelFont(iLanguage));
    nColumnDrawn = 0;
    iMarkedColumn = -1;
    if (section == nullptr) {
        canvas.Text(kTextX, -kTextX, LiveSectionOffText(iLanguage));
        return false;
    }
    if (drawer.parameter.iLanguage != iLanguage) drawer.SetLanguage(iLanguage);
    drawer.parameter.fSectionTop = 0.0f;
    // Whole metres, so that the depth ticks (1 m apart) fall on whole depths.
    drawer.parameter.fSectionBottom =
        -std::ceil(section->Settings().fDepth * kDepthBelowHalfSpace);
    drawer.axes.bXFixed = drawer.axes.bYFixed = 0;
    const LiveSectionSummary summary = section->Summary();
    bool drew = false;
    section->Read([&](const LiveSectionView& view) {
        std::vector<float> misfit(view.columns.size(), -1.0f);
        for (std::size_t c = 0; c < view.columns.size(); ++c) misfit[c] = view.columns[c].fMisfit;
        int right = 0, bottom = 0;
        drew = drawer.DrawModel(canvas, view.store, scale, right, bottom, &client, &misfit,
                                view.iNewestColumn);
        if (!drew) return;
        nColumnDrawn = view.store.nColumn;
        iMarkedColumn = view.iNewestColumn;
        canvas.SetTextAlign({HAlign::Left, VAlign::Top});
        canvas.SetFont(TickLabelFont(iLanguage));
        canvas.Text(drawer.parameter.iLeftMargin, -(bottom + 30),
                    LiveSectionStatusText(summary, iLanguage));
    });
    if (!drew) canvas.Text(kTextX, -kTextX, LiveSectionWaitingText(iLanguage));
    return drew;
}
