#include "settings/BarSettings.h"

#include "app/frmMain.h"
#include "catalogue/ProgramCatalogue.h"

namespace nimbrel {
namespace {

std::string_view TrimSpaces(std::string_view line) {
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    return line;
}

std::string JoinPath(const std::string& folder, std::string_view name) {
    // A drive root already ends with the separator that the name begins with.
    if (!folder.empty() && folder.back() == '\\' && !name.empty() && name.front() == '\\')
        name.remove_prefix(1);
    return folder + std::string(name);
}

// text == upper, where upper is upper case and text may be in any case.
bool SameKey(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        if (c != upper[i])
            return false;
    }
    return true;
}

}  // namespace

std::string SettingsFilePath(const std::string& folder) {
    return JoinPath(folder, kSettingsFileName);
}

std::optional<SettingsEntry> ReadSettingsEntry(std::string_view line) {
    line = TrimSpaces(line);
    if (!line.empty() && line.front() == '[')
        return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (SameKey(key, "TOOLBAR_POSITION"))
        return SettingsEntry{SettingsKey::ToolbarPosition, value};
    if (SameKey(key, "POINTER_POSITION"))
        return SettingsEntry{SettingsKey::PointerPosition, value};
    if (SameKey(key, "STYLE"))
        return SettingsEntry{SettingsKey::Style, value};
    return std::nullopt;
}

void ParseSettings(std::string_view text, Settings& settings) {
    ForEachSettingsLine(text, [&settings](std::string_view line) {
        const std::optional<SettingsEntry> entry = ReadSettingsEntry(line);
        if (!entry)
            return;
        switch (entry->key) {
            case SettingsKey::ToolbarPosition:
                settings.ToolbarPosition = ToUpperAscii(std::string(entry->value));
                break;
            case SettingsKey::PointerPosition:
                settings.PointerPosition = ToUpperAscii(std::string(entry->value));
                break;
            case SettingsKey::Style:
                settings.Style = StyleFromValue(entry->value);
                break;
        }
    });
}

void frmMain::Read_CFG() {
    BarSettings.ToolbarPosition = "TOP";
    BarSettings.PointerPosition = "TOP";

    const std::string folder = platform_.process.ExecutableFolder();
    if (folder.empty()) {
        // "\Nimbrel.Txt" alone would name the current drive's root: an unknown folder is an unreadable file.
        ParseSettings(kDefaultSettingsFile, BarSettings);
        return;
    }
    const std::string path = JoinPath(folder, kSettingsFileName);
    ReadResult file = platform_.files.ReadTextFile(path);
    if (file.status == ReadStatus::Missing) {
        // Write the defaults once and read them back; when the folder is not writable the
        // defaults still hold in memory and nothing is retried.
        if (platform_.files.WriteTextFile(path, std::string(kDefaultSettingsFile)))
            file = platform_.files.ReadTextFile(path);
    }
    if (file.status != ReadStatus::Ok) {
        // Missing and unwritable, or present but unreadable (a directory, a file locked by another
        // program): run with the default settings and leave whatever is there untouched.
        ParseSettings(kDefaultSettingsFile, BarSettings);
        return;
    }
    ParseSettings(file.text, BarSettings);
}

}  // namespace nimbrel
