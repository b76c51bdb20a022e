// The pointer watch's decision at one tick.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace nimbrel {

inline constexpr unsigned kPointerWatchMs = 2000;
inline constexpr int kEdgeZoneTwips = 50;

enum class WatchDecision {
    None,
    Hide,
    Show,
};

struct WatchInput {
    bool barShown = false;
    Edge dockEdge = Edge::Top;
    std::optional<Edge> recallEdge;  // nothing: the pointer never calls the bar back
    std::int32_t x = 0;              // pointer, twips
    std::int32_t y = 0;
    float screenWidth = 0;
    float screenHeight = 0;
    TwipsRect workArea;
    float windowWidth = 0;
    float windowHeight = 0;
    // The pointer lies on a monitor other than the primary: away from the bar, and from its recall edge, unless it lies
    // just past a border that monitor shares with the primary at the dock edge (the band) or the recall edge.
    bool onOtherMonitor = false;
    bool onDockStrip = false;
    bool onRecallStrip = false;
};

// Pixels times twips per pixel, formed in floating point and rounded half to even.
std::int32_t PixelsToTwips(std::int32_t pixels, float twipsPerPixel);
// Twips in whole pixels, rounded half to even; 0 for a scale of 0.
std::int32_t PixelsAcross(float twips, float twipsPerPixel);

// A docked bar hides when the pointer has left its band, which starts at the work area's edge; a parked bar shows
// when the pointer touches the recall edge, which is the screen's. A pointer exactly on the band's boundary counts
// as off the bar.
bool PointerLeftBand(const WatchInput& in);
bool PointerTouchesRecallEdge(const WatchInput& in);

// True when the point (pixels) lies on a monitor other than the primary. A point on no monitor is not.
bool OnOtherMonitor(const std::vector<Monitor>& monitors, std::int32_t x, std::int32_t y);

// True when the point (pixels) lies on another monitor that continues the primary's edge, within depth pixels of the
// border the two share. A pointer pushed against such an edge does not stop there: it crosses onto that monitor.
bool OnSharedStrip(const std::vector<Monitor>& monitors, Edge edge, std::int32_t depth, std::int32_t x, std::int32_t y);

// The decision of one tick.
WatchDecision Decide(const WatchInput& in);

}  // namespace nimbrel
