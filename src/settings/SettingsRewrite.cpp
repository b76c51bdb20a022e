#include "settings/SettingsRewrite.h"

#include <array>

#include "settings/BarSettings.h"

namespace nimbrel {
namespace {

constexpr std::array<SettingsKey, 3> kKeys{SettingsKey::ToolbarPosition, SettingsKey::PointerPosition,
                                           SettingsKey::Style};

std::size_t IndexOf(SettingsKey key) {
    return static_cast<std::size_t>(key);
}

const char* NameOf(SettingsKey key) {
    switch (key) {
        case SettingsKey::PointerPosition:
            return "POINTER_POSITION";
        case SettingsKey::Style:
            return "STYLE";
        case SettingsKey::ToolbarPosition:
            break;
    }
    return "TOOLBAR_POSITION";
}

bool Changes(ChangedKeys changed, SettingsKey key) {
    switch (key) {
        case SettingsKey::PointerPosition:
            return changed.callBackEdge;
        case SettingsKey::Style:
            return changed.style;
        case SettingsKey::ToolbarPosition:
            break;
    }
    return changed.dockEdge;
}

// The key has no line at all with this value.
bool Removes(SettingsKey key, const ChosenSettings& now) {
    return key == SettingsKey::Style && now.style == 0;
}

std::string ValueOf(SettingsKey key, const ChosenSettings& now) {
    switch (key) {
        case SettingsKey::PointerPosition:
            return now.callBackEdge ? EdgeName(*now.callBackEdge) : "NONE";
        case SettingsKey::Style:
            return now.style >= 1 && now.style <= 3 ? std::to_string(now.style) : "1";
        case SettingsKey::ToolbarPosition:
            break;
    }
    return EdgeName(now.dockEdge);
}

// The line end that appended lines take: the file's first, or CR LF when it has none.
std::string_view LineEndOf(std::string_view file) {
    const std::size_t cr = file.find('\r');
    if (cr != std::string_view::npos && (cr + 1 == file.size() || file[cr + 1] != '\n'))
        return "\r";
    return "\r\n";
}

// A line feed that no carriage return precedes, which the reader does not see as a line end.
bool HasBareLineFeed(std::string_view text) {
    for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
        if (i == 0 || text[i - 1] != '\r')
            return true;
    }
    return false;
}

// The same lines with every line end, a lone LF included, made CR LF.
std::string WithCrLf(std::string_view file) {
    std::string out;
    out.reserve(file.size() + file.size() / 8);
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\r' || file[i] == '\n') {
            out += "\r\n";
            if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
                ++i;
        } else {
            out += file[i];
        }
    }
    return out;
}

std::string RewriteLines(std::string_view file, ChangedKeys changed, const ChosenSettings& now) {
    std::string out;
    out.reserve(file.size() + 64);
    std::array<bool, kKeys.size()> seen{};
    ForEachSettingsLine(file, [&](std::string_view line) {
        const std::size_t end = static_cast<std::size_t>(line.data() - file.data()) + line.size();
        std::size_t endLength = 0;
        if (end < file.size())
            endLength = end + 1 < file.size() && file[end + 1] == '\n' ? 2 : 1;
        const std::string_view lineEnd = file.substr(end, endLength);

        const std::optional<SettingsEntry> entry = ReadSettingsEntry(line);
        if (!entry || !Changes(changed, entry->key)) {
            out.append(line).append(lineEnd);
            return;
        }
        seen[IndexOf(entry->key)] = true;
        if (Removes(entry->key, now))
            return;
        const auto valueAt = static_cast<std::size_t>(entry->value.data() - line.data());
        out.append(line.substr(0, valueAt))
            .append(ValueOf(entry->key, now))
            .append(line.substr(valueAt + entry->value.size()))
            .append(lineEnd);
    });

    const std::string_view lineEnd = LineEndOf(file);
    for (SettingsKey key : kKeys) {
        if (!Changes(changed, key) || seen[IndexOf(key)] || Removes(key, now))
            continue;
        if (!out.empty() && out.back() != '\r' && out.back() != '\n')
            out.append(lineEnd);
        out.append(NameOf(key)).append("=").append(ValueOf(key, now)).append(lineEnd);
    }
    return out;
}

}  // namespace

std::string RewriteSettings(std::string_view file, ChangedKeys changed, const ChosenSettings& now) {
    // The reader takes such a file for one long line, so what its lines say is not what the bar shows: the next
    // start should show what the bar shows now.
    if (HasBareLineFeed(file))
        return RewriteLines(WithCrLf(file), kAllSettingsKeys, now);
    return RewriteLines(file, changed, now);
}

}  // namespace nimbrel
