// The 38 buttons of the bar and its drop-down menus, in creation order.
#pragma once

#include <array>

namespace nimbrel {

struct ButtonDefinition {
    const char* key;
    int icon;
    const char* caption;
    int style;  // 0 ordinary, 1 separator
    const char* toolTip;
    bool dropDown;
};

inline constexpr int kButtonCount = 38;
extern const std::array<ButtonDefinition, kButtonCount> kButtonDefinitions;

// The two integers that every creation call passes after the tool-tip.
inline constexpr int kCreateShortcutKey = 0;
inline constexpr int kCreateShortcutShift = 2;

}  // namespace nimbrel
