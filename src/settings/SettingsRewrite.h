// The settings file rewritten for a choice made on the bar: the chosen keys change, every other byte stays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Edge.h"

namespace nimbrel {

// The settings the bar has once a choice is made.
struct ChosenSettings {
    Edge dockEdge = Edge::Top;
    // Nothing: only the shortcut key calls the bar back (written as NONE).
    std::optional<Edge> callBackEdge = Edge::Top;
    // 0 Classic (written as no STYLE line), 1 Flat, 2 Gradient, 3 Dark; any other number is written as 1, which is
    // how the reader takes it.
    std::int16_t style = 1;
};

// The keys a choice writes.
struct ChangedKeys {
    bool dockEdge = false;
    bool callBackEdge = false;
    bool style = false;
};

inline constexpr ChangedKeys kAllSettingsKeys{true, true, true};

// The new bytes of a settings file for the changed keys set to now's values. Every line of a changed key gets the
// new value in place of its old one, keeping its spelling and spaces; a changed key with no line is appended
// with the file's line end; Classic removes every STYLE line. All other bytes stay as they are. A file with a bare
// line feed is written back with CR LF line ends and all three keys set to now's values.
std::string RewriteSettings(std::string_view file, ChangedKeys changed, const ChosenSettings& now);

}  // namespace nimbrel
