// What is dragged onto the bar, where it is let go, and what that does. Header only: the Win32 drop target answers
// the pointer with it while the drag goes on.
#pragma once

#include <string>
#include <vector>

namespace nimbrel {

// What a drag carries: files, folders and shortcuts by their full paths, or else an address.
struct DroppedItems {
    std::vector<std::string> paths;
    std::string url;
    std::string title;  // the address's page title, when the drag carries one

    bool Empty() const { return paths.empty() && url.empty(); }
    bool operator==(const DroppedItems&) const = default;
};

// What lies under the pointer on the bar.
struct DropSpot {
    enum class Kind {
        Bar,      // the bar outside any Links or program button
        Program,  // a Links entry or a catalogued program's button
        Inert,    // something that takes nothing: a separator, a category, Exit, a folder or an address entry
    };
    Kind kind = Kind::Inert;
    std::string program;  // Program: the full path of what opens the dropped files

    bool operator==(const DropSpot&) const = default;
};

enum class DropAction {
    None,
    Add,   // the items become entries of the Links folder
    Open,  // the program opens the dropped files
};

// Only files open with a program: an address dropped on a button does nothing.
inline DropAction DecideDrop(const DroppedItems& items, const DropSpot& spot) {
    switch (spot.kind) {
        case DropSpot::Kind::Bar:
            return items.Empty() ? DropAction::None : DropAction::Add;
        case DropSpot::Kind::Program:
            return items.paths.empty() || spot.program.empty() ? DropAction::None : DropAction::Open;
        case DropSpot::Kind::Inert:
            break;
    }
    return DropAction::None;
}

}  // namespace nimbrel
