// The four edges of the screen, which the bar docks at and is called back from.
#pragma once

#include <optional>
#include <string_view>

namespace nimbrel {

enum class Edge {
    Top,
    Left,
    Right,
    Bottom,
};

// The edge a settings value names: "TOP", "RIGHT", "BOTTOM" or "LEFT", exactly; nothing for any other text.
constexpr std::optional<Edge> EdgeNamed(std::string_view text) {
    if (text == "TOP")
        return Edge::Top;
    if (text == "RIGHT")
        return Edge::Right;
    if (text == "BOTTOM")
        return Edge::Bottom;
    if (text == "LEFT")
        return Edge::Left;
    return std::nullopt;
}

// The settings value that names edge.
constexpr const char* EdgeName(Edge edge) {
    switch (edge) {
        case Edge::Left:
            return "LEFT";
        case Edge::Right:
            return "RIGHT";
        case Edge::Bottom:
            return "BOTTOM";
        case Edge::Top:
            break;
    }
    return "TOP";
}

// A bar at a side edge is a column; at the top or bottom a row.
constexpr bool Vertical(Edge edge) {
    return edge == Edge::Left || edge == Edge::Right;
}

}  // namespace nimbrel
