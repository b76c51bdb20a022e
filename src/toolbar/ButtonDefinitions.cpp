#include "toolbar/ButtonDefinitions.h"

#include "app/frmMain.h"

namespace nimbrel {

// clang-format off
const std::array<ButtonDefinition, kButtonCount> kButtonDefinitions = {{
    {"EXIT",                  0, "",                      0, "Exit",                 false},
    {"SEP1",                 -1, "",                      1, "",                     false},
    {"SEP2",                 -1, "",                      1, "",                     false},
    {"CONNECTION",           19, "",                      0, "Internet Connections", false},
    {"FIREWALL",             20, "",                      0, "Firewall",             false},
    {"SECURITY",             21, "",                      0, "Security",             false},
    {"WINDOWS",              30, "",                      0, "Internet Settings",    false},
    {"OSMIRADE",             22, "",                      0, "About Me",             false},
    {"HELP",                 23, "",                      0, "Help",                 false},
    {"BROWSER",              31, "",                      0, "Browser",              true},
    {"BROWSER:IEXPLORE",      1, "Explorer",              0, "",                     false},
    {"BROWSER:NETSCAPE",     26, "Netscape",              0, "",                     false},
    {"BROWSER:FIREFOX",       2, "FireFox",               0, "",                     false},
    {"BROWSER:OPERA",         3, "Opera",                 0, "",                     false},
    {"SEARCH",               32, "",                      0, "Search",               true},
    {"SEARCH:ALTAVISTA",      4, "Altavista",             0, "",                     false},
    {"SEARCH:YAHOO",          5, "Yahoo",                 0, "",                     false},
    {"SEARCH:GOOGLE",         6, "Google",                0, "",                     false},
    {"MAIL",                 33, "",                      0, "Mail",                 true},
    {"MAIL:OUTLOOK",          7, "Outlook",               0, "",                     false},
    {"MAIL:MSIMN",            8, "Express",               0, "",                     false},
    {"MAIL:EUDORA",           9, "Eudora",                0, "",                     false},
    {"MAIL:THUNDERBIRD",     10, "Thunderbird",           0, "",                     false},
    {"FTP",                  34, "",                      0, "FTP",                  true},
    {"FTP:FILEZILLA",        11, "FileZilla",             0, "",                     false},
    {"FTP:SMARTFTP",         12, "SmartFTP",              0, "",                     false},
    {"FTP:FREEFTP",          13, "CoffeeCup",             0, "",                     false},
    {"MESSAGING",            35, "",                      0, "Messaging",            true},
    {"MESSAGING:SKYPE",      15, "Skype",                 0, "",                     false},
    {"MESSAGING:MSMSGS",     16, "MS Messenger",          0, "",                     false},
    {"MESSAGING:ICQLITE",    17, "ICQ",                   0, "",                     false},
    {"P2P",                  36, "",                      0, "P-2-P",                true},
    {"P2P:LIMEWIRE",         24, "LimeWire",              0, "",                     false},
    {"P2P:MORPHEUS",         25, "Morpheus",              0, "",                     false},
    {"PROGRAMS",             37, "",                      0, "Programs",             true},
    {"PROGRAMS:GOOGLEEARTH", 14, "Google Earth",          0, "",                     false},
    {"PROGRAMS:ISPBOS",      28, "IP Speed Booster",      0, "",                     false},
    {"PROGRAMS:TELLME",      29, "TellMe(Text-2-Speech)", 0, "",                     false},
}};
// clang-format on

bool frmMain::CreateButtons() {
    ButtonCollection& buttons = cmdBar[0]->Buttons();
    for (const ButtonDefinition& def : kButtonDefinitions) {
        Button* button = buttons.Add(def.key, def.icon, def.caption, def.style, def.toolTip, kCreateShortcutKey,
                                     kCreateShortcutShift);
        if (button == nullptr)
            return false;
        if (def.dropDown)
            button->SetDropDown(true);
    }
    return true;
}

}  // namespace nimbrel
