// "Nimbrel.lnk" in the user's Startup folder, which starts the bar with Windows: the installer's shortcut, made or
// removed from the bar's menu too.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace nimbrel::win32 {

class StartupShortcut final : public IStartupShortcut {
public:
    // folder: where the shortcut lives, the user's Startup folder unless a test gives another.
    explicit StartupShortcut(std::wstring folder = {});

    bool Present() override;
    WriteResult Set(bool present) override;

private:
    std::wstring Path() const;

    std::wstring folder_;
};

}  // namespace nimbrel::win32
