// The eight bars and the keys of their buttons, in display order.
#pragma once

#include <array>
#include <vector>

namespace nimbrel {

struct BarLayout {
    const char* key;
    std::vector<const char*> buttons;
};

inline constexpr int kBarCount = 8;
inline constexpr const char* kMainBarKey = "STANDARD";
// "STANDARD" first, then the seven drop-down bars in the order they are wired.
extern const std::array<BarLayout, kBarCount> kBarLayouts;

}  // namespace nimbrel
