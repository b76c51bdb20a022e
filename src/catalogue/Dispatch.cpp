#include "catalogue/Dispatch.h"

#include "app/frmMain.h"

namespace nimbrel {
namespace {

Command DecideBarButton(const std::string& key, const std::string& executableFolder) {
    using Kind = Command::Kind;
    if (key == "EXIT")
        return {Kind::Exit, {}};
    if (key == "WINDOWS")
        return {Kind::Applet, "INETCPL.CPL"};
    if (key == "CONNECTION")
        return {Kind::Applet, "ncpa.cpl"};
    if (key == "FIREWALL")
        return {Kind::Applet, "firewall.cpl"};
    if (key == "SECURITY")
        return {Kind::Applet, "wscui.cpl"};
    if (key == "OSMIRADE")
        return {Kind::Open, kAboutMeAddress};
    // Without its folder the document's name alone would be "/nimbrel.pdf", the current drive's root.
    if (key == "HELP" && !executableFolder.empty())
        return {Kind::Open, executableFolder + kHelpDocument};
    return {};
}

Command DecideMenuItem(const std::string& key, const Catalogue& catalogue, const std::string& programFilesDir) {
    using Kind = Command::Kind;
    if (key == "SEARCH:ALTAVISTA")
        return {Kind::Open, kAltaVistaAddress};
    if (key == "SEARCH:YAHOO")
        return {Kind::Open, kYahooAddress};
    if (key == "SEARCH:GOOGLE")
        return {Kind::Open, kGoogleAddress};
    int entry = KeyEntry(catalogue, key);
    if (entry == 0)
        return {};
    // The program is started by its full file name so that Windows never guesses at a shorter
    // name inside a path with spaces ("C:\Program.exe" for "C:\Program Files\...").
    return {Kind::Launch, LaunchCommand(catalogue, programFilesDir, entry) + ".exe"};
}

}  // namespace

Command DecideCommand(std::int16_t index,
                      const std::string& key,
                      const Catalogue& catalogue,
                      const std::string& programFilesDir,
                      const std::string& executableFolder) {
    if (index == 0)
        return DecideBarButton(key, executableFolder);
    if (index == 1)
        return DecideMenuItem(key, catalogue, programFilesDir);
    return {};
}

void frmMain::cmdBar_ButtonClick(std::int16_t index, Button& button) {
    if (ended_)
        return;
    const std::string folder = index == 0 ? platform_.process.ExecutableFolder() : std::string();
    const Command command = DecideCommand(index, button.Key(), ProgramCatalogue, ProgramFilesDir, folder);
    if (command.kind == Command::Kind::Exit) {
        GO_Exit();
        return;
    }
    // What the command starts comes in front: the bar, which the click or the keyboard's call made the foreground
    // window, passes the right on, and nothing is given back to the window from before a call.
    if (command.kind != Command::Kind::Nothing)
        platform_.window.LetOthersTakeForeground();
    // Failures of the shell are ignored: the user gets the bar parked as after any command.
    switch (command.kind) {
        case Command::Kind::Applet:
            platform_.shell.OpenControlPanelItem(command.argument);
            break;
        case Command::Kind::Open:
            platform_.shell.OpenDocument(command.argument);
            break;
        case Command::Kind::Launch:
            platform_.shell.StartProcess(command.argument);
            break;
        case Command::Kind::Exit:
        case Command::Kind::Nothing:
            break;
    }
    GO_BarOff();
}

}  // namespace nimbrel
