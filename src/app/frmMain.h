// The main window: owns the program-wide values and runs every routine of the launcher.
// The routines are defined beside their subsystems (settings/, catalogue/, toolbar/, docking/).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/ProgramCatalogue.h"
#include "cmdbar/CommandBar.h"
#include "docking/Docking.h"
#include "links/LinksBar.h"
#include "platform/Platform.h"
#include "settings/BarSettings.h"
#include "settings/SettingsMenu.h"

namespace nimbrel {

class frmMain final : public ICommandBarHost, public IWindowEvents, private ISettingsTarget, private IDropHandler {
public:
    enum class LoadResult {
        Shown,   // the bar is up and the timers run
        Ended,   // the program was ended on purpose (no Program Files folder)
        Failed,  // the command bar refused a step before the window was shown
    };

    explicit frmMain(Platform& platform);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;
    ~frmMain() override;

    // The load event: the whole start-up in one pass.
    LoadResult LoadMainWindow();

    // Start-up routines.
    bool GetProgramFilesDir();
    void Read_CFG();
    void PlaceBar();
    void ConfigurePrograms();
    bool CreateButtons();
    bool BuildToolbar();

    // Docking, parking and exit.
    void GO_BarOn();
    // The keyboard's call, which another start of the program (its shortcut key) makes: docks a parked bar, brings
    // it in front, gives it the foreground and the keyboard focus with no button lit, and keeps the pointer watch
    // from parking it until a command runs, Esc is pressed on it or another program takes activation. Where Windows
    // refuses the foreground it is GO_BarOn.
    void GO_BarOnKeyboard();
    void GO_BarOff();
    void GO_Exit();

    // Event handlers.
    void Timer1_Timer();
    void Timer2_Timer();
    void cmdBar_ButtonClick(std::int16_t index, Button& button) override;
    void cmdBar_RequestNewInstance(std::int16_t index, CommandBar*& slot) override;
    // Keys act only on a docked bar.
    bool cmdBar_KeysAccepted(std::int16_t index) override;
    void cmdBar_Escape(std::int16_t index) override;
    // The bar's own menu, at anchor: its settings, Help and Exit. Only a docked bar has it.
    void cmdBar_ContextMenu(std::int16_t index, const std::string& key, const PopupAnchor& anchor) override;
    // The Links folder's buttons: a click starts the entry, a folder's drop-down and the » menu list entries.
    void cmdBar_OwnButton(std::int16_t index, const std::string& key, const PopupAnchor* dropDown) override;
    void cmdBar_OwnOverflow(std::int16_t index,
                            const std::vector<std::string>& keys,
                            const PopupAnchor& anchor) override;
    // The display's twips per pixel changed: the bar and the window get their twips sizes again at the new
    // scale, and the window goes back to where it was, docked at its edge or parked.
    void Form_DpiChanged();
    // Sizes the window along its edge for the work area and puts it back where it was, docked or parked.
    void PlaceAgain();

    // Window events. Those that arrive before the bar is up, or while it is being moved (Windows sends some from
    // inside the move itself), run once that is over; a recall before the bar is up means nothing.
    void OnDisplayChanged() override;
    void OnWorkAreaChanged() override;
    void OnScaleChanged() override;
    void OnRecallRequested() override;
    void OnDeactivated() override;
    void OnEndRequested() override;
    void OnHandlerFailed() override;

    // Program-wide values.
    Settings BarSettings;
    Catalogue ProgramCatalogue;
    std::string ProgramFilesDir;
    // The 32-bit Program Files folder, where programs not under ProgramFilesDir are looked for; empty when none.
    std::string ProgramFilesX86Dir;
    bool BarShown = false;
    std::vector<std::unique_ptr<CommandBar>> cmdBar;
    std::shared_ptr<IImageList> ImageList1;
    std::unique_ptr<ITimer> Timer1;
    std::unique_ptr<ITimer> Timer2;

    // True once GO_Exit or a failed start-up has ended the program; nothing runs after that.
    bool Ended() const { return ended_; }
    // The edge the bar docks at: what ToolbarPosition names, the top for anything else.
    Edge DockEdge() const;

private:
    // Marks the window as being moved by GO_BarOn, GO_BarOff or PlaceAgain until their state has settled.
    class MoveScope {
    public:
        explicit MoveScope(frmMain& form) : form_(form), outer_(form.moving_) { form_.moving_ = true; }
        MoveScope(const MoveScope&) = delete;
        MoveScope& operator=(const MoveScope&) = delete;
        ~MoveScope() { form_.moving_ = outer_; }

    private:
        frmMain& form_;
        bool outer_;
    };

    // What the settings menu changes.
    ChosenSettings SettingsNow() const override;
    void DockAt(Edge edge) override;
    void CallBackFrom(std::optional<Edge> edge) override;
    void SetLook(std::int16_t style) override;
    void RunButton(const std::string& key) override;

    // The Links folder: its buttons at start-up, then followed while the bar runs.
    void ShowLinks();
    void FollowLinks();
    void ShowLinksMenu(const LinksMenu& menu, const PopupAnchor& anchor);
    void RunLink(const LinkCommand& command);
    // The entries a Links button's own menu starts with; none for any other place on the bar.
    ChoiceMenu EntryMenu(const std::string& key) const;
    void ApplyLinksChoice(const MenuChoice& choice, const std::string& key);

    // What is dragged over the bar and let go on it.
    DropSpot DropSpotAt(int x, int y) override;
    void OnDragOver(bool over) override;
    void OnDrop(const DroppedItems& items, const DropSpot& spot) override;

    // True when the event must wait: it is then posted to run again once the bar is up and not moving.
    bool Deferred(void (frmMain::*event)());
    Point ParkedPlaceNow() const;
    bool DropDownOpen() const;
    // The work area, less the strip that an auto-hide taskbar at the dock edge slides into: the bar docks against
    // its edge and its band starts there. ReadDockInset reads that taskbar again.
    TwipsRect DockArea() const;
    void ReadDockInset();
    // After Esc on a called bar: the window that had the foreground before the call gets it again.
    void GiveForegroundBack();

    Platform& platform_;
    bool ended_ = false;
    bool up_ = false;                           // LoadMainWindow has shown the bar
    bool moving_ = false;                       // inside a MoveScope
    bool parkedOnce_ = false;                   // a BOTTOM bar keeps its start-up overhang until its first park
    float dockInset_ = 0;                       // twips of an auto-hide taskbar at the dock edge
    bool keyboardHold_ = false;                 // called by the keyboard: the pointer watch leaves it docked
    bool menuOpen_ = false;                     // the bar's own menu is open: the pointer watch leaves it docked
    std::optional<SettingsMenu> settingsMenu_;  // made at its first use
    std::optional<LinksBar> linksBar_;
    std::optional<LinkDrops> linkDrops_;
    bool dragOver_ = false;                // something droppable is over the bar: the pointer watch leaves it docked
    std::uintptr_t foregroundBefore_ = 0;  // the window that had the foreground before the keyboard's call
};

}  // namespace nimbrel
