// The pointer watch's decision at one tick.
#pragma once

#include <cstdint>
#include <string>

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
    std::string toolbarPosition;
    std::string pointerPosition;
    std::int32_t x = 0;  // pointer, twips
    std::int32_t y = 0;
    float screenWidth = 0;
    float screenHeight = 0;
    float windowWidth = 0;
    float windowHeight = 0;
};

// Pixels times twips per pixel, formed in floating point and rounded half to even.
std::int32_t PixelsToTwips(std::int32_t pixels, float twipsPerPixel);

// A docked bar hides when the pointer has left its band; a parked bar shows when the pointer touches
// the recall edge. A pointer exactly on the band's boundary counts as off the bar.
bool PointerLeftBand(const WatchInput& in);
bool PointerTouchesRecallEdge(const WatchInput& in);

}  // namespace nimbrel
