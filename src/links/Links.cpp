#include "links/Links.h"

#include <algorithm>
#include <utility>

namespace nimbrel {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\')
        return folder + name;
    return folder + "\\" + name;
}

const LinkEntry* Find(const std::vector<LinkEntry>& entries, std::string_view path) {
    for (const LinkEntry& entry : entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}

}  // namespace

LinksSplit SplitLinks(int available, const std::vector<int>& lengths, int chevron) {
    long long total = 0;
    for (const int length : lengths)
        total += length;
    if (total <= available)
        return {lengths.size(), false};
    LinksSplit split{0, true};
    long long used = chevron;
    for (const int length : lengths) {
        used += length;
        if (used > available)
            break;
        ++split.onBar;
    }
    return split;
}

std::string ShownName(std::string_view fileName, bool folder) {
    const std::size_t dot = fileName.rfind('.');
    // A name that is all extension (".profile") keeps it, or nothing would show.
    if (folder || dot == std::string_view::npos || dot == 0)
        return std::string(fileName);
    return std::string(fileName.substr(0, dot));
}

Links::Links(IFolders& folders, const std::string& executableFolder)
    : folders_(folders), folder_(executableFolder.empty() ? std::string() : Join(executableFolder, kLinksFolderName)) {}

Links::~Links() = default;

bool Links::Refresh() {
    FolderStatus status = FolderStatus::Missing;
    std::vector<LinkEntry> entries = folder_.empty() ? std::vector<LinkEntry>() : ReadFolder(folder_, true, status);
    const bool changed = entries != entries_;
    status_ = status;
    entries_ = std::move(entries);
    return changed;
}

std::vector<LinkEntry> Links::ReadFolder(const std::string& folder, bool withItems, FolderStatus& status) {
    FolderListing listing = folders_.List(folder);
    status = listing.status;
    std::vector<LinkEntry> entries;
    if (listing.status != FolderStatus::Ok)
        return entries;
    entries.reserve(listing.entries.size());
    for (FolderEntry& found : listing.entries) {
        LinkEntry entry;
        entry.path = Join(folder, found.name);
        entry.name = ShownName(found.name, found.folder);
        entry.folder = found.folder;
        if (found.folder && withItems) {
            // A folder in Links that cannot be read is still a button, with an empty menu.
            FolderStatus ignored = FolderStatus::Ok;
            entry.items = ReadFolder(entry.path, false, ignored);
        }
        entries.push_back(std::move(entry));
    }
    Order(entries);
    return entries;
}

void Links::Order(std::vector<LinkEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [this](const LinkEntry& a, const LinkEntry& b) {
        if (a.folder != b.folder)
            return a.folder;
        const int byName = folders_.CompareNames(a.name, b.name);
        if (byName != 0)
            return byName < 0;
        // "Mail.lnk" beside "Mail.url": the whole file names decide.
        return folders_.CompareNames(a.path, b.path) < 0;
    });
}

LinkCommand Links::CommandFor(std::string_view path) const {
    if (const LinkEntry* entry = Find(entries_, path))
        return {entry->folder ? LinkCommand::Kind::Menu : LinkCommand::Kind::Open, entry->path};
    for (const LinkEntry& entry : entries_) {
        if (const LinkEntry* item = Find(entry.items, path))
            return {item->folder ? LinkCommand::Kind::Explore : LinkCommand::Kind::Open, item->path};
    }
    return {};
}

bool Links::Run(const LinkCommand& command) {
    switch (command.kind) {
        case LinkCommand::Kind::Open:
            return folders_.OpenEntry(command.path);
        case LinkCommand::Kind::Explore:
            return folders_.ExploreFolder(command.path);
        case LinkCommand::Kind::Menu:
        case LinkCommand::Kind::Nothing:
            break;
    }
    return false;
}

void Links::Watch(std::function<void()> onChanged) {
    StopWatching();
    if (folder_.empty())
        return;
    watch_ = folders_.Watch(folder_, [this, onChanged = std::move(onChanged)] {
        if (Refresh() && onChanged)
            onChanged();
    });
}

void Links::StopWatching() {
    watch_.reset();
}

}  // namespace nimbrel
