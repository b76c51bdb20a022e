#include "SettingsRoundTrip.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "settings/BarSettings.h"

namespace nimbrel::test {
namespace {

struct Line {
    std::string_view content;
    std::string_view end;
};

// Lines split at CR LF and CR, and at a lone LF too when lineFeedEnds.
std::vector<Line> SplitLines(std::string_view text, bool lineFeedEnds) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && !(lineFeedEnds && text[end] == '\n'))
            ++end;
        std::size_t endLength = 0;
        if (end < text.size())
            endLength = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        lines.push_back({text.substr(start, end - start), text.substr(end, endLength)});
        start = end + endLength;
    }
    return lines;
}

bool BareLineFeedIn(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return true;
    }
    return false;
}

// What the bar does with a file: where it docks, where it is called back from, how it looks.
struct BarView {
    Edge dock = Edge::Top;
    std::optional<Edge> callBack;
    std::int16_t style = 0;
    bool operator==(const BarView&) const = default;
};

BarView Read(std::string_view text) {
    Settings settings{"TOP", "TOP", 0};
    ParseSettings(text, settings);
    return {EdgeNamed(settings.ToolbarPosition).value_or(Edge::Top), EdgeNamed(settings.PointerPosition),
            settings.Style};
}

std::string Describe(const BarView& view) {
    return std::string("docked at ") + EdgeName(view.dock) + ", called back from " +
           (view.callBack ? EdgeName(*view.callBack) : "nowhere") + ", style " + std::to_string(view.style);
}

constexpr std::array<const char*, 3> kKeyNames{"TOOLBAR_POSITION", "POINTER_POSITION", "STYLE"};

std::size_t Index(SettingsKey key) {
    return static_cast<std::size_t>(key);
}

bool Writes(ChangedKeys changed, SettingsKey key) {
    return (key == SettingsKey::ToolbarPosition && changed.dockEdge) ||
           (key == SettingsKey::PointerPosition && changed.callBackEdge) ||
           (key == SettingsKey::Style && changed.style);
}

std::int16_t StyleRead(std::int16_t chosen) {
    return chosen >= 0 && chosen <= 3 ? chosen : std::int16_t{1};
}

std::string ValueText(SettingsKey key, const ChosenSettings& now) {
    if (key == SettingsKey::ToolbarPosition)
        return EdgeName(now.dockEdge);
    if (key == SettingsKey::PointerPosition)
        return now.callBackEdge ? EdgeName(*now.callBackEdge) : "NONE";
    return std::to_string(StyleRead(now.style));
}

std::string_view FirstLineEnd(std::string_view text) {
    const std::size_t cr = text.find('\r');
    if (cr == std::string_view::npos || (cr + 1 < text.size() && text[cr + 1] == '\n'))
        return "\r\n";
    return "\r";
}

std::string ReadingFault(std::string_view before,
                         std::string_view after,
                         ChangedKeys changed,
                         const ChosenSettings& now) {
    BarView expected = Read(before);
    if (changed.dockEdge)
        expected.dock = now.dockEdge;
    if (changed.callBackEdge)
        expected.callBack = now.callBackEdge;
    if (changed.style)
        expected.style = StyleRead(now.style);
    const BarView got = Read(after);
    if (got != expected)
        return "read again, the bar is " + Describe(got) + " instead of " + Describe(expected);
    return {};
}

// The text before and after the value of a line that sets a key.
std::pair<std::string_view, std::string_view> AroundValue(std::string_view line, const SettingsEntry& entry) {
    const auto at = static_cast<std::size_t>(entry.value.data() - line.data());
    return {line.substr(0, at), line.substr(at + entry.value.size())};
}

std::string At(std::size_t index) {
    return "line " + std::to_string(index + 1) + " ";
}

std::string LinesFault(std::string_view before,
                       std::string_view after,
                       bool bare,
                       ChangedKeys changed,
                       const ChosenSettings& now) {
    const std::vector<Line> old = SplitLines(before, bare);
    const std::vector<Line> fresh = SplitLines(after, false);
    const std::string_view fileEnd = bare ? "\r\n" : FirstLineEnd(before);
    std::array<bool, 3> had{};
    bool gainedEnd = false;
    std::size_t next = 0;
    for (std::size_t i = 0; i < old.size(); ++i) {
        const Line& was = old[i];
        const std::optional<SettingsEntry> entry = ReadSettingsEntry(was.content);
        const bool written = entry && Writes(changed, entry->key);
        if (written)
            had[Index(entry->key)] = true;
        if (written && entry->key == SettingsKey::Style && now.style == 0)
            continue;
        if (next == fresh.size())
            return At(i) + "is gone";
        const Line& is = fresh[next++];
        const std::string_view end = bare && !was.end.empty() ? "\r\n" : was.end;
        gainedEnd = was.end.empty() && is.end == fileEnd;
        if (is.end != end && !gainedEnd)
            return At(i) + "has another line end";
        if (!written) {
            if (is.content != was.content)
                return At(i) + "changed: " + std::string(is.content);
            continue;
        }
        const std::optional<SettingsEntry> entryNow = ReadSettingsEntry(is.content);
        if (!entryNow || entryNow->key != entry->key)
            return At(i) + "no longer sets " + kKeyNames[Index(entry->key)];
        if (AroundValue(is.content, *entryNow) != AroundValue(was.content, *entry))
            return At(i) + "changed more than its value: " + std::string(is.content);
        if (entryNow->value != ValueText(entry->key, now))
            return At(i) + "has the value " + std::string(entryNow->value);
    }
    std::array<bool, 3> appended{};
    for (; next < fresh.size(); ++next) {
        const std::string_view line = fresh[next].content;
        const std::optional<SettingsEntry> entry = ReadSettingsEntry(fresh[next].content);
        if (!entry || !Writes(changed, entry->key) || had[Index(entry->key)] || appended[Index(entry->key)])
            return "appended line " + std::string(line) + " is not a missing key";
        const std::size_t key = Index(entry->key);
        appended[key] = true;
        if (line != std::string(kKeyNames[key]) + "=" + ValueText(entry->key, now))
            return "appended line " + std::string(line) + " is not spelled as expected";
        if (fresh[next].end != fileEnd)
            return "appended line " + std::string(line) + " does not end with the file's line end";
        if (entry->key == SettingsKey::Style && now.style == 0)
            return "Classic appended a STYLE line";
    }
    if (gainedEnd && std::none_of(appended.begin(), appended.end(), [](bool a) { return a; }))
        return "the last line gained a line end with nothing appended";
    for (std::size_t key = 0; key < kKeyNames.size(); ++key) {
        const bool removed = key == Index(SettingsKey::Style) && now.style == 0;
        if (Writes(changed, static_cast<SettingsKey>(key)) && !had[key] && !removed && !appended[key])
            return std::string(kKeyNames[key]) + " was not appended";
    }
    return {};
}

}  // namespace

std::string RoundTripFault(std::string_view before,
                           std::string_view after,
                           ChangedKeys changed,
                           const ChosenSettings& now) {
    const bool bare = BareLineFeedIn(before);
    if (bare)
        changed = kAllSettingsKeys;
    if (BareLineFeedIn(after))
        return "the new file has a bare LF";
    if (std::string fault = ReadingFault(before, after, changed, now); !fault.empty())
        return fault;
    return LinesFault(before, after, bare, changed, now);
}

}  // namespace nimbrel::test
