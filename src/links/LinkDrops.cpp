#include "links/LinkDrops.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

#include "app/Module1.h"

namespace nimbrel {
namespace {

constexpr unsigned kMessageStyleWarning = 0x30;  // MB_ICONEXCLAMATION | MB_OK
// Beyond this a folder holds more than any user keeps of one name; the search stops rather than run on.
constexpr int kLastNumber = 999;

bool Forbidden(unsigned char c) {
    return c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

// The extension of a file name, dot included; empty for none. A name's leading dot starts no extension.
std::string_view ExtensionOf(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view{} : name.substr(dot);
}

bool HasExtension(std::string_view name, std::initializer_list<std::string_view> extensions) {
    const std::string_view extension = ExtensionOf(name);
    for (std::string_view candidate : extensions) {
        if (SameNoCase(extension, candidate))
            return true;
    }
    return false;
}

void TrimEnd(std::string& text, std::string_view characters) {
    while (!text.empty() && characters.find(text.back()) != std::string_view::npos)
        text.pop_back();
}

// Cuts text after limit characters, never inside one character's UTF-8 bytes.
void CutAfter(std::string& text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == limit) {
            text.resize(i);
            return;
        }
    }
}

bool DeviceName(std::string_view base) {
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view name : kPlain) {
        if (SameNoCase(base, name))
            return true;
    }
    return base.size() == 4 && (SameNoCase(base.substr(0, 3), "COM") || SameNoCase(base.substr(0, 3), "LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

// The last part of a path, the separators at its end left out.
std::string_view LastPart(std::string_view path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.remove_suffix(1);
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string Join(const std::vector<std::string>& paragraphs) {
    std::string text;
    for (const std::string& paragraph : paragraphs) {
        if (!text.empty())
            text += "\n\n";
        text += paragraph;
    }
    return text;
}

MenuItemView Item(const char* caption) {
    MenuItemView item;
    item.caption = caption;
    return item;
}

}  // namespace

std::string FileNameFrom(std::string_view text) {
    std::string name;
    bool gap = false;
    for (const char c : text) {
        if (Forbidden(static_cast<unsigned char>(c))) {
            TrimEnd(name, " ");
            gap = true;
            continue;
        }
        if (gap) {
            if (c == ' ')
                continue;
            name.push_back(' ');
            gap = false;
        }
        name.push_back(c);
    }
    const std::size_t first = name.find_first_not_of(' ');
    name.erase(0, first == std::string::npos ? name.size() : first);
    TrimEnd(name, " .");
    CutAfter(name, kEntryNameLimit);
    TrimEnd(name, " .");
    // Windows takes "CON.txt" and "nul.tar.gz" for devices as well.
    const std::size_t baseEnd = std::min(name.find('.'), name.size());
    if (DeviceName(std::string_view(name).substr(0, baseEnd)))
        name.insert(baseEnd, "_");
    return name;
}

std::string EntryNameForPath(std::string_view path, PathKind kind) {
    const std::string_view name = LastPart(path);
    if (kind == PathKind::Folder) {
        if (name.size() == 2 && name[1] == ':')
            return std::string("Drive ") + UpperAscii(name[0]) + ".lnk";
        const std::string folder = FileNameFrom(name);
        return (folder.empty() ? "Folder" : folder) + ".lnk";
    }
    if (HasExtension(name, {".lnk", ".url"}))
        return std::string(name);
    const std::string file = FileNameFrom(name.substr(0, name.size() - ExtensionOf(name).size()));
    return (file.empty() ? "Shortcut" : file) + ".lnk";
}

std::string HostOf(std::string_view url) {
    const std::size_t slashes = url.find("://");
    if (slashes == std::string_view::npos)
        return {};
    std::string_view authority = url.substr(slashes + 3);
    authority = authority.substr(0, authority.find_first_of("/?#\\"));
    if (const std::size_t at = authority.find_last_of('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[')
        return std::string(authority.substr(0, authority.find(']') + 1));
    return std::string(authority.substr(0, authority.find(':')));
}

std::string EntryNameForUrl(std::string_view url, std::string_view title) {
    std::string name = FileNameFrom(title);
    if (name.empty())
        name = FileNameFrom(HostOf(url));
    if (name.empty()) {
        // An address without a host, such as "mailto:someone@example.org?subject=Hi": what follows the scheme.
        std::string_view rest = url.substr(url.find(':') == std::string_view::npos ? 0 : url.find(':') + 1);
        name = FileNameFrom(rest.substr(0, rest.find('?')));
    }
    return (name.empty() ? "Link" : name) + ".url";
}

std::string NumberedName(std::string_view fileName, int number) {
    const std::size_t stem = fileName.size() - ExtensionOf(fileName).size();
    return std::string(fileName.substr(0, stem)) + " (" + std::to_string(number) + ")" +
           std::string(fileName.substr(stem));
}

std::string InternetShortcutBytes(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string bytes = "[InternetShortcut]\r\nURL=";
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            bytes.push_back('%');
            bytes.push_back(kHex[byte >> 4]);
            bytes.push_back(kHex[byte & 0x0F]);
        } else {
            bytes.push_back(c);
        }
    }
    bytes += "\r\n";
    return bytes;
}

DropSpot SpotForEntry(const std::string& path, bool folder) {
    if (!folder && HasExtension(LastPart(path), {".exe", ".com", ".bat", ".cmd", ".lnk"}))
        return {DropSpot::Kind::Program, path};
    return {DropSpot::Kind::Inert, {}};
}

std::vector<std::pair<MenuItemView, EntryChoice>> EntryMenuItems() {
    return {{Item("&Open"), EntryChoice::Open},
            {Item("&Properties"), EntryChoice::Properties},
            {Item("&Remove from the bar"), EntryChoice::Remove}};
}

std::vector<std::pair<MenuItemView, LinksChoice>> LinksMenuItems() {
    return {{Item("&Add to the bar\xE2\x80\xA6"), LinksChoice::AddToBar},
            {Item("Open the Lin&ks folder"), LinksChoice::OpenFolder}};
}

LinkDrops::LinkDrops(IEntryFiles& files, IEntryShell& shell, IMessageBox& messages, std::string linksFolder)
    : files_(files), shell_(shell), messages_(messages), folder_(std::move(linksFolder)) {}

void LinkDrops::Drop(const DroppedItems& items, const DropSpot& spot) {
    switch (DecideDrop(items, spot)) {
        case DropAction::Add:
            Add(items);
            break;
        case DropAction::Open:
            Open(spot.program, items.paths);
            break;
        case DropAction::None:
            break;
    }
}

AddResult LinkDrops::Add(const DroppedItems& items) {
    AddResult result;
    if (!items.paths.empty()) {
        for (const std::string& path : items.paths) {
            if (!AddPath(path, result))
                break;
        }
    } else if (!items.url.empty()) {
        AddUrl(items.url, items.title, result);
    }
    if (!result.failures.empty())
        Tell(Join(result.failures));
    return result;
}

AddResult LinkDrops::AddChosen() {
    const FileChoice choice = shell_.ChooseFiles();
    if (!choice.reason.empty()) {
        Tell("Nimbrel could not show the file dialog to add to the bar.\n\n" + choice.reason);
        return {};
    }
    if (choice.paths.empty())
        return {};
    return Add(DroppedItems{choice.paths, {}, {}});
}

bool LinkDrops::Open(const std::string& program, const std::vector<std::string>& files) {
    const Outcome started = shell_.StartWith(program, files);
    if (!started.done) {
        const std::string what = files.size() == 1 ? files.front() : std::to_string(files.size()) + " files";
        Tell("Nimbrel could not open " + what + " with " + program + ".\n\n" + started.reason);
    }
    return started.done;
}

bool LinkDrops::Remove(const std::string& entry) {
    const Outcome recycled = files_.Recycle(entry);
    if (!recycled.done)
        Tell("Nimbrel could not move " + entry + " to the Recycle Bin.\n\n" + recycled.reason);
    return recycled.done;
}

bool LinkDrops::ShowProperties(const std::string& entry) {
    const Outcome shown = shell_.ShowProperties(entry);
    if (!shown.done)
        Tell("Nimbrel could not show the properties of " + entry + ".\n\n" + shown.reason);
    return shown.done;
}

bool LinkDrops::MakeFolder() {
    if (const std::optional<std::string> failure = EnsureFolder()) {
        Tell(*failure);
        return false;
    }
    return true;
}

std::optional<std::string> LinkDrops::EnsureFolder() {
    if (files_.KindOf(folder_) == PathKind::Folder)
        return std::nullopt;
    const Outcome made = files_.MakeFolder(folder_);
    if (made.done)
        return std::nullopt;
    return "Nimbrel could not make the folder " + folder_ + " for the entries of the bar.\n\n" + made.reason;
}

std::optional<std::string> LinkDrops::FreePath(const std::string& name) {
    // The file system compares the names, as it does without regard to case.
    for (int number = 1; number <= kLastNumber; ++number) {
        std::string path = folder_ + "\\" + (number == 1 ? name : NumberedName(name, number));
        if (files_.KindOf(path) == PathKind::Missing)
            return path;
    }
    return std::nullopt;
}

bool LinkDrops::AddPath(const std::string& path, AddResult& result) {
    const PathKind kind = files_.KindOf(path);
    if (kind == PathKind::Missing) {
        result.failures.push_back("Nimbrel could not add " + path + " to the bar: it is not there any more.");
        return true;
    }
    if (std::optional<std::string> failure = EnsureFolder()) {
        // Every other item would fail the same way.
        result.failures.push_back(std::move(*failure));
        return false;
    }
    const bool copy = kind == PathKind::File && HasExtension(LastPart(path), {".lnk", ".url"});
    AddEntry(path, EntryNameForPath(path, kind), result, [&](const std::string& target) {
        return copy ? files_.Copy(path, target) : files_.WriteShellLink(target, path);
    });
    return true;
}

void LinkDrops::AddUrl(const std::string& url, const std::string& title, AddResult& result) {
    if (std::optional<std::string> failure = EnsureFolder()) {
        result.failures.push_back(std::move(*failure));
        return;
    }
    AddEntry(url, EntryNameForUrl(url, title), result,
             [&](const std::string& target) { return files_.WriteNewFile(target, InternetShortcutBytes(url)); });
}

void LinkDrops::AddEntry(const std::string& what,
                         const std::string& name,
                         AddResult& result,
                         const std::function<Outcome(const std::string&)>& write) {
    const std::optional<std::string> target = FreePath(name);
    if (!target) {
        result.failures.push_back("Nimbrel could not add " + what + " to the bar: " + folder_ +
                                  " has every name from " + name + " to " + NumberedName(name, kLastNumber) +
                                  " already.");
        return;
    }
    const Outcome written = write(*target);
    if (written.done)
        result.added.push_back(*target);
    else
        result.failures.push_back("Nimbrel could not add " + what + " to the bar: it could not write " + *target +
                                  ".\n\n" + written.reason);
}

void LinkDrops::Tell(const std::string& text) {
    messages_.Show(text, kMessageStyleWarning, kProgramTitle);
}

}  // namespace nimbrel
