// Saves a choice made on the bar to the settings file beside the program.
#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "settings/SettingsRewrite.h"

namespace nimbrel {

// A message for the user, as IMessageBox::Show takes it.
struct UserMessage {
    std::string text;
    unsigned style = 0;
    std::string title;
};

class SettingsStore {
public:
    // folder: the executable's folder, empty when it is not known.
    SettingsStore(IFileSystem& files, std::string folder);

    // Rewrites the file as it is at this moment for the changed keys. Nothing when saved; otherwise what to tell the
    // user, who keeps the change until the bar ends.
    std::optional<UserMessage> Save(ChangedKeys changed, const ChosenSettings& now);

private:
    IFileSystem& files_;
    std::string folder_;
};

}  // namespace nimbrel
