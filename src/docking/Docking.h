// Where the bar docks and where it is parked.
#pragma once

#include <string>

namespace nimbrel {

struct Point {
    float left = 0;
    float top = 0;
};

// The parked place, in twips: off the primary screen's top-left corner.
inline constexpr Point kParkedPlace{-1500.0F, -1500.0F};

inline constexpr unsigned kReleaseAfterShowMs = 150;  // Timer2 at start-up
inline constexpr unsigned kReleaseAfterParkMs = 100;  // Timer2 from the first park on

// The docked top-left corner for toolbarPosition, flush with the edge.
Point DockedPlace(const std::string& toolbarPosition,
                  float screenWidth,
                  float screenHeight,
                  float windowWidth,
                  float windowHeight);

}  // namespace nimbrel
