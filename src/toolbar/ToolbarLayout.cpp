#include "toolbar/ToolbarLayout.h"

#include "app/frmMain.h"

namespace nimbrel {

const std::array<BarLayout, kBarCount> kBarLayouts = {{
    {kMainBarKey,
     {"EXIT", "SEP1", "BROWSER", "SEARCH", "MAIL", "FTP", "MESSAGING", "P2P", "PROGRAMS", "SEP2", "CONNECTION",
      "FIREWALL", "SECURITY", "WINDOWS", "OSMIRADE", "HELP"}},
    {"BROWSER", {"BROWSER:IEXPLORE", "BROWSER:NETSCAPE", "BROWSER:FIREFOX", "BROWSER:OPERA"}},
    {"SEARCH", {"SEARCH:ALTAVISTA", "SEARCH:YAHOO", "SEARCH:GOOGLE"}},
    {"MAIL", {"MAIL:OUTLOOK", "MAIL:MSIMN", "MAIL:EUDORA", "MAIL:THUNDERBIRD"}},
    {"FTP", {"FTP:FILEZILLA", "FTP:SMARTFTP", "FTP:FREEFTP"}},
    {"MESSAGING", {"MESSAGING:SKYPE", "MESSAGING:MSMSGS", "MESSAGING:ICQLITE"}},
    {"P2P", {"P2P:LIMEWIRE", "P2P:MORPHEUS"}},
    {"PROGRAMS", {"PROGRAMS:GOOGLEEARTH", "PROGRAMS:ISPBOS", "PROGRAMS:TELLME"}},
}};

bool frmMain::BuildToolbar() {
    CommandBar& bar = *cmdBar[0];

    std::array<ButtonBar*, kBarCount> bars{};
    for (std::size_t i = 0; i < kBarLayouts.size(); ++i) {
        bars[i] = bar.Bars().Add(kBarLayouts[i].key, "");
        if (bars[i] == nullptr)
            return false;
    }
    for (std::size_t i = 0; i < kBarLayouts.size(); ++i) {
        for (const char* key : kBarLayouts[i].buttons) {
            Button* button = bar.Buttons().Item(key);
            if (button == nullptr)
                return false;
            bars[i]->Append(*button);
        }
        if (i == 0)
            continue;
        // Every drop-down bar hangs under the category button with its own key.
        Button* category = bar.Buttons().Item(kBarLayouts[i].key);
        if (category == nullptr)
            return false;
        category->SetBar(bars[i]);
    }

    // Hide the menu item of every catalogued program that is not installed; the catalogue keeps where each was found.
    const int count = ProgramCatalogue.ProgramCount;
    for (int i = 1; i <= count && i < Catalogue::kPositions; ++i) {
        if (FindInstalled(ProgramCatalogue, platform_.files, ProgramFilesDir, ProgramFilesX86Dir, i))
            continue;
        const std::string name = ToUpperAscii(ProgramCatalogue.ExeName[i]);
        const int buttons = bar.Buttons().Count();
        for (int j = 1; j <= buttons; ++j) {
            Button* button = bar.Buttons().Item(j);
            if (button->Key().find(name) != std::string::npos) {
                button->SetVisible(false);
                break;
            }
        }
    }
    return true;
}

}  // namespace nimbrel
