// Adding to and removing from the Links folder: what is dropped on the bar or chosen in "Add to the bar…" becomes a
// shortcut or an internet shortcut there, files dropped on a program's button open with it, and a Links button's own
// menu shows an entry's properties or moves it to the Recycle Bin.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "links/Drop.h"
#include "platform/Platform.h"

namespace nimbrel {

// The longest name, in characters, that the bar gives an entry it makes from a title, a host or a file's name.
inline constexpr std::size_t kEntryNameLimit = 80;

// Text made into a name Windows takes for a file: each run of characters that names forbid (\ / : * ? " < > | and
// control characters) becomes one space together with the spaces around it; no leading spaces, no trailing spaces or
// dots; a device name (CON, NUL, COM1, …) gets "_" after it; at most kEntryNameLimit characters. May be empty.
std::string FileNameFrom(std::string_view text);

// The name that an added file or folder takes in the Links folder before a clash is settled: a shortcut or an internet
// shortcut keeps its own name; a file gets "<its name without the extension>.lnk", the name its button shows; a folder
// "<its name>.lnk", a drive "Drive C.lnk".
std::string EntryNameForPath(std::string_view path, PathKind kind);

// The host of an address ("https://user@www.example.org:8080/a" -> "www.example.org"); empty when it names none.
std::string HostOf(std::string_view url);

// "<title>.url", else "<host>.url", else the address without its scheme.
std::string EntryNameForUrl(std::string_view url, std::string_view title);

// fileName with " (number)" before its extension: "Mail.lnk", 2 -> "Mail (2).lnk".
std::string NumberedName(std::string_view fileName, int number);

// The bytes of an internet shortcut to url. Spaces, control characters and characters outside ASCII go
// percent-encoded as UTF-8, so that the file reads the same in every code page and no line can be slipped in.
std::string InternetShortcutBytes(std::string_view url);

// What a drop on the Links entry at path does: a program, a script or a shortcut opens the files; a folder, an
// internet shortcut or a document takes nothing.
DropSpot SpotForEntry(const std::string& path, bool folder);

// The entries a Links button's menu starts with, before a separator and the bar's own menu.
enum class EntryChoice {
    Open,
    Properties,
    Remove,
};
std::vector<std::pair<MenuItemView, EntryChoice>> EntryMenuItems();

// The entries that the bar's own menu gains after "Start with Windows".
enum class LinksChoice {
    AddToBar,
    OpenFolder,
};
std::vector<std::pair<MenuItemView, LinksChoice>> LinksMenuItems();

struct AddResult {
    std::vector<std::string> added;     // the new entries' full paths, in the order of the items
    std::vector<std::string> failures;  // for each item not added: what, where the bar wanted to write, and why

    bool operator==(const AddResult&) const = default;
};

class LinkDrops {
public:
    // linksFolder: the full path of the Links folder, which need not exist yet.
    LinkDrops(IEntryFiles& files, IEntryShell& shell, IMessageBox& messages, std::string linksFolder);

    const std::string& Folder() const { return folder_; }

    // Adds the items, opens them with spot's program or does nothing, as DecideDrop says.
    void Drop(const DroppedItems& items, const DropSpot& spot);
    // Makes the items entries of the Links folder, and the folder first when it is not there. Each name that is
    // taken gets " (2)", " (3)", … The user is told of every item that could not be added.
    AddResult Add(const DroppedItems& items);
    // "Add to the bar…": the files chosen in the file dialog, added.
    AddResult AddChosen();
    // Starts program with the files as its arguments; the user is told when it cannot start.
    bool Open(const std::string& program, const std::vector<std::string>& files);
    // "Remove from the bar": the entry goes to the Recycle Bin at once, with no question.
    bool Remove(const std::string& entry);
    bool ShowProperties(const std::string& entry);
    // The Links folder, made when it is not there, for "Open the Links folder"; the user is told when it cannot be.
    bool MakeFolder();

private:
    // The folder's failure, when it is not there and cannot be made.
    std::optional<std::string> EnsureFolder();
    // A full path in the folder for name that nothing has, numbered when name is taken.
    std::optional<std::string> FreePath(const std::string& name);
    // False when the folder cannot be made, which ends the adding.
    bool AddPath(const std::string& path, AddResult& result);
    void AddUrl(const std::string& url, const std::string& title, AddResult& result);
    // Writes the entry for what, through write, at a free path for name.
    void AddEntry(const std::string& what,
                  const std::string& name,
                  AddResult& result,
                  const std::function<Outcome(const std::string&)>& write);
    void Tell(const std::string& text);

    IEntryFiles& files_;
    IEntryShell& shell_;
    IMessageBox& messages_;
    std::string folder_;
};

}  // namespace nimbrel
