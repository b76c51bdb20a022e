#include "settings/SettingsStore.h"

#include <utility>

#include "settings/BarSettings.h"

namespace nimbrel {
namespace {

constexpr unsigned kExclamationOk = 0x30;  // MB_ICONEXCLAMATION | MB_OK
constexpr const char* kHoldsForThisRun = "The change holds until the bar ends.";

UserMessage NotSaved(const std::string& path, const std::string& reason) {
    return {"The setting could not be saved to\n" + path + "\n\n" + reason + "\n\n" + kHoldsForThisRun, kExclamationOk,
            "Nimbrel"};
}

}  // namespace

SettingsStore::SettingsStore(IFileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}

std::optional<UserMessage> SettingsStore::Save(ChangedKeys changed, const ChosenSettings& now) {
    if (folder_.empty()) {
        return UserMessage{std::string("The setting could not be saved: the folder of Nimbrel.exe is not known.\n\n") +
                               kHoldsForThisRun,
                           kExclamationOk, "Nimbrel"};
    }
    const std::string path = SettingsFilePath(folder_);
    ReadResult file = files_.ReadFileBytes(path);
    if (file.status == ReadStatus::Failed)
        return NotSaved(path, file.reason.empty() ? "The file could not be read." : file.reason);
    // Removed since the start, which wrote it: the new file shows what the bar shows now.
    if (file.status == ReadStatus::Missing)
        changed = kAllSettingsKeys;
    const WriteResult written = files_.ReplaceFileBytes(path, RewriteSettings(file.text, changed, now));
    if (!written.written)
        return NotSaved(path, written.reason.empty() ? "The file could not be written." : written.reason);
    return std::nullopt;
}

}  // namespace nimbrel
