// Where the bar docks and where it is parked.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace nimbrel {

struct Point {
    float left = 0;
    float top = 0;
};

// The parked place, in twips: off the primary screen's top-left corner.
inline constexpr Point kParkedPlace{-1500.0F, -1500.0F};

inline constexpr unsigned kReleaseAfterShowMs = 150;  // Timer2 at start-up
inline constexpr unsigned kReleaseAfterParkMs = 100;  // Timer2 from the first park on

// The docked top-left corner at edge, flush with the work area's edge.
Point DockedPlace(Edge edge, const TwipsRect& workArea, float windowWidth, float windowHeight);

// Where a window of this size parks: at kParkedPlace, unless it would lie partly on a monitor there (one left of
// or above the primary); then with its bottom-right corner at the virtual screen's top-left corner, on no monitor.
Point ParkedPlace(float windowWidth,
                  float windowHeight,
                  const std::vector<Monitor>& monitors,
                  float twipsPerPixelX,
                  float twipsPerPixelY);

}  // namespace nimbrel
