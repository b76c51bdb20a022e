#include <algorithm>
#include <cctype>

#include "FakePlatform.h"

namespace nimbrel::test {
namespace {

std::string Lower(const std::string& path) {
    std::string lower = path;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string LastPart(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

class FakeFolders::FakeWatch final : public IFolderWatch {
public:
    FakeWatch(CallLog& log, std::shared_ptr<WatchRecord> record) : log_(log), record_(std::move(record)) {}
    ~FakeWatch() override {
        record_->running = false;
        log_.Add("folders.StopWatch " + record_->folder);
    }

private:
    CallLog& log_;
    std::shared_ptr<WatchRecord> record_;
};

FolderListing FakeFolders::List(const std::string& folder) {
    ++listings;
    log_.Add("folders.List " + folder);
    FolderListing listing;
    const std::string key = Lower(folder);
    const auto found = nodes_.find(key);
    if (found == nodes_.end())
        return listing;
    if (!found->second.folder) {
        listing.status = FolderStatus::NotAFolder;
        return listing;
    }
    if (found->second.kind == EntryKind::Locked) {
        listing.status = FolderStatus::Unreadable;
        return listing;
    }
    listing.status = FolderStatus::Ok;
    const std::string prefix = key + "\\";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.rfind(prefix, 0) == 0; ++it) {
        const bool direct = it->first.find('\\', prefix.size()) == std::string::npos;
        const bool shown = it->second.kind != EntryKind::Hidden && it->second.kind != EntryKind::System;
        if (direct && shown)
            listing.entries.push_back({it->second.name, it->second.folder});
    }
    return listing;
}

int FakeFolders::CompareNames(const std::string& a, const std::string& b) {
    ++comparisons;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            const std::string da = a.substr(i, ei - i);
            const std::string db = b.substr(j, ej - j);
            const std::size_t za = std::min(da.find_first_not_of('0'), da.size() - 1);
            const std::size_t zb = std::min(db.find_first_not_of('0'), db.size() - 1);
            const std::string va = da.substr(za);
            const std::string vb = db.substr(zb);
            if (va.size() != vb.size())
                return va.size() < vb.size() ? -1 : 1;
            if (va != vb)
                return va < vb ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const int la = std::tolower(ca);
        const int lb = std::tolower(cb);
        if (la != lb)
            return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::unique_ptr<IFolderWatch> FakeFolders::Watch(const std::string& folder, std::function<void()> onChange) {
    log_.Add("folders.Watch " + folder);
    auto record = std::make_shared<WatchRecord>(WatchRecord{folder, std::move(onChange), true});
    watches_.push_back(record);
    return std::make_unique<FakeWatch>(log_, std::move(record));
}

bool FakeFolders::OpenEntry(const std::string& path) {
    log_.Add("folders.OpenEntry " + path);
    return !failOpen;
}

bool FakeFolders::ExploreFolder(const std::string& path) {
    log_.Add("folders.ExploreFolder " + path);
    return !failOpen;
}

void FakeFolders::Add(const std::string& path, bool folder, EntryKind kind) {
    for (std::size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
        const std::string above = path.substr(0, slash);
        if (above.size() > 2)  // "C:" is the drive, not a folder entry
            nodes_.try_emplace(Lower(above), Node{LastPart(above), true, EntryKind::Ordinary});
    }
    nodes_[Lower(path)] = Node{LastPart(path), folder, kind};
}

void FakeFolders::AddFile(const std::string& path, EntryKind kind) {
    Add(path, false, kind);
}

void FakeFolders::AddFolder(const std::string& path, EntryKind kind) {
    Add(path, true, kind);
}

void FakeFolders::Remove(const std::string& path) {
    const std::string key = Lower(path);
    nodes_.erase(key);
    const std::string prefix = key + "\\";
    auto it = nodes_.lower_bound(prefix);
    while (it != nodes_.end() && it->first.rfind(prefix, 0) == 0)
        it = nodes_.erase(it);
}

void FakeFolders::NotifyWatchers() {
    // A callback may end its own watch or start another.
    const std::vector<std::shared_ptr<WatchRecord>> records = watches_;
    for (const std::shared_ptr<WatchRecord>& record : records) {
        if (record->running) {
            const std::function<void()> onChange = record->onChange;
            onChange();
        }
    }
    std::erase_if(watches_, [](const std::shared_ptr<WatchRecord>& record) { return !record->running; });
}

std::vector<std::string> FakeFolders::Watched() const {
    std::vector<std::string> folders;
    for (const std::shared_ptr<WatchRecord>& record : watches_) {
        if (record->running)
            folders.push_back(record->folder);
    }
    return folders;
}

}  // namespace nimbrel::test
