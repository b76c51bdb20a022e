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

}  // namespace

void ParseSettings(std::string_view text, Settings& settings) {
    ForEachSettingsLine(text, [&settings](std::string_view raw) {
        std::string_view line = TrimSpaces(raw);
        if (!line.empty() && line.front() == '[')
            return;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return;
        std::string key = ToUpperAscii(std::string(line.substr(0, equals)));
        std::string_view value = line.substr(equals + 1);
        if (key == "TOOLBAR_POSITION")
            settings.ToolbarPosition = ToUpperAscii(std::string(value));
        else if (key == "POINTER_POSITION")
            settings.PointerPosition = ToUpperAscii(std::string(value));
        else if (key == "STYLE")
            settings.Style = StyleFromValue(value);
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
