// The user's own entries: the Links folder beside the program, their order on the bar, how they share the bar's
// length with the » menu, and what a click on one does. Kept apart from the catalogue: an entry is known by its path,
// never by a key.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace nimbrel {

inline constexpr const char* kLinksFolderName = "Links";

// One entry of the Links folder or of a folder directly in it.
struct LinkEntry {
    std::string path;  // the full path, which is the entry's identity
    std::string name;  // the file name without its last extension; a folder keeps its whole name
    bool folder = false;
    // Of a folder directly in Links: its own entries, in the same order. A folder further down lists none.
    std::vector<LinkEntry> items;

    bool operator==(const LinkEntry&) const = default;
};

struct LinkCommand {
    enum class Kind {
        Nothing,  // no entry has this path (any more)
        Open,     // starts the entry through the shell
        Menu,     // a folder on the bar: its drop-down menu lists its items
        Explore,  // a folder inside such a folder: opens it in Explorer
    };
    Kind kind = Kind::Nothing;
    std::string path;

    bool operator==(const LinkCommand&) const = default;
};

// How many Links buttons stay on the bar; the others, from onBar on, go into the » menu at the bar's end.
struct LinksSplit {
    std::size_t onBar = 0;
    bool overflow = false;  // whether the » button shows

    bool operator==(const LinksSplit&) const = default;
};

// lengths: each Links button's length along the bar, in order; available: the length the catalogue's buttons leave
// them; chevron: the » button's length. All in one unit. Every button stays when all fit without the »; otherwise as
// many as fit beside it, which may be none.
LinksSplit SplitLinks(int available, const std::vector<int>& lengths, int chevron);

// The name an entry shows: a file's name without its last extension ("Mail.lnk" -> "Mail", "v1.2 Notes.txt" ->
// "v1.2 Notes"), a folder's whole name.
std::string ShownName(std::string_view fileName, bool folder);

class Links {
public:
    // The folder is "Links" in executableFolder; nothing is read until Refresh.
    Links(IFolders& folders, const std::string& executableFolder);
    Links(const Links&) = delete;
    Links& operator=(const Links&) = delete;
    ~Links();

    const std::string& Folder() const { return folder_; }
    // Lists the folder and the folders directly in it again: folders first, then files, each in Explorer's order.
    // A Links folder that is missing, a file or unreadable gives no entries. True when the entries changed, which a
    // change of Status alone is not.
    bool Refresh();
    // What the last Refresh found.
    FolderStatus Status() const { return status_; }
    const std::vector<LinkEntry>& Entries() const { return entries_; }

    // What a click on the entry with this path does.
    LinkCommand CommandFor(std::string_view path) const;
    // Carries a command out through the shell; false when it started nothing (the shell has then said why).
    bool Run(const LinkCommand& command);

    // Follows the folder from now on: after every change notification the entries are read again, and onChanged
    // runs when they differ. Replaces a watch that was running.
    void Watch(std::function<void()> onChanged);
    void StopWatching();

private:
    std::vector<LinkEntry> ReadFolder(const std::string& folder, bool withItems, FolderStatus& status);
    void Order(std::vector<LinkEntry>& entries);

    IFolders& folders_;
    std::string folder_;
    FolderStatus status_ = FolderStatus::Missing;
    std::vector<LinkEntry> entries_;
    std::unique_ptr<IFolderWatch> watch_;
};

}  // namespace nimbrel
