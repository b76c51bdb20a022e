// The seam between the launcher's decisions and the operating system.
// Everything the core needs from Windows is reached through these interfaces;
// src/win32 implements them for real, tests/unit implements them as a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "links/Drop.h"
#include "platform/Edge.h"

namespace nimbrel {

// Strings crossing the seam are UTF-8.

class IDropHandler;

enum class ZOrder {
    Top,        // HWND_TOP
    Topmost,    // HWND_TOPMOST
    NoTopmost,  // HWND_NOTOPMOST
};

// The main window. Positions and sizes are outer bounds in twips, relative to the primary screen.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    // Moves the window's top-left corner, keeping its size.
    virtual void Move(float left, float top) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetKeyPreview(bool on) = 0;
    // SetWindowPos with SWP_NOMOVE | SWP_NOSIZE; false when the system refused.
    virtual bool SetZOrder(ZOrder order) = 0;
    // SetActiveWindow.
    virtual bool Activate() = 0;
    virtual bool SetFocus() = 0;
    // Repaints the window at once.
    virtual bool Refresh() = 0;
    // The window that has the foreground now, as an opaque handle; 0 when it is this window or there is none.
    virtual std::uintptr_t ForegroundWindow() const = 0;
    // SetForegroundWindow for this window, which Windows allows with the right that another start of the program
    // grants.
    virtual bool TakeForeground() = 0;
    // True while this window is the foreground window.
    virtual bool HasForeground() const = 0;
    // Gives the foreground back to a window that ForegroundWindow named, if it is still there.
    virtual bool GiveForeground(std::uintptr_t window) = 0;
    // AllowSetForegroundWindow(ASFW_ANY): what the bar starts next may come in front, as the bar holds the
    // foreground now.
    virtual void LetOthersTakeForeground() = 0;
    // From now on the window takes what is dragged onto it (OLE drag and drop), telling handler.
    virtual void AcceptDrops(IDropHandler& handler) = 0;
};

// A rectangle in pixels of the virtual screen, whose origin is the primary monitor's top-left corner.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Monitor {
    PixelRect area;
    bool primary = false;
};

// A rectangle in twips of the same origin.
struct TwipsRect {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// The primary screen, and the monitors around it.
class IScreen {
public:
    virtual ~IScreen() = default;
    virtual float Width() const = 0;   // twips
    virtual float Height() const = 0;  // twips
    virtual float TwipsPerPixelX() const = 0;
    virtual float TwipsPerPixelY() const = 0;
    // The primary monitor's work area: the screen less what taskbars and other docked bars keep for themselves.
    virtual TwipsRect WorkArea() const = 0;
    // Every monitor of the desktop.
    virtual std::vector<Monitor> Monitors() const = 0;
    // The thickness, in twips, of an auto-hide taskbar at this edge of the primary monitor as it shows when it slides
    // in; 0 when there is none. Its work area then reaches the screen's edge.
    virtual float AutoHideTaskbar(Edge edge) const = 0;
    // Reads the primary monitor's scale again; true when it changed, and from then on the sizes and the twips per
    // pixel above are the new scale's.
    virtual bool UpdateScale() = 0;
};

// A window timer. An interval of 0 never ticks; setting the interval or enabling restarts the countdown.
class ITimer {
public:
    virtual ~ITimer() = default;
    virtual void SetInterval(unsigned milliseconds) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual unsigned Interval() const = 0;
    virtual bool Enabled() const = 0;
};

class ITimerFactory {
public:
    virtual ~ITimerFactory() = default;
    virtual std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTick, bool enabled, unsigned interval) = 0;
};

class IPointer {
public:
    virtual ~IPointer() = default;
    // Pixels of the virtual screen; leaves x and y untouched when the query fails.
    virtual bool GetCursorPos(std::int32_t& x, std::int32_t& y) = 0;
};

class IMessagePump {
public:
    virtual ~IMessagePump() = default;
    // Processes the messages that are pending now and returns; never blocks.
    virtual void DoEvents() = 0;
    // Runs task from the message queue, after the handler that is running now has returned.
    virtual void Post(std::function<void()> task) = 0;
};

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // style as for MessageBox (16 = MB_ICONSTOP | MB_OK); returns the button pressed.
    virtual int Show(const std::string& text, unsigned style, const std::string& title) = 0;
};

enum class ReadStatus {
    Ok,
    Missing,  // no such file: the caller may create it
    Failed,   // exists but could not be read (a directory, locked, no permission)
};

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    std::string text;    // the file's contents converted from the ANSI code page, or its bytes as they are
    std::string reason;  // the system's reason when the status is Failed
};

struct WriteResult {
    bool written = false;
    std::string reason;  // the system's reason when not written
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    virtual ReadResult ReadTextFile(const std::string& path) = 0;
    // Creates or replaces the file; text is written in the ANSI code page. False on failure.
    virtual bool WriteTextFile(const std::string& path, const std::string& text) = 0;
    // The file's bytes as they are, in text.
    virtual ReadResult ReadFileBytes(const std::string& path) = 0;
    // Creates the file or replaces it whole with bytes, so that whatever happens it is either the old file or the
    // new one.
    virtual WriteResult ReplaceFileBytes(const std::string& path, const std::string& bytes) = 0;
    // True only for an existing file that is neither a directory nor hidden nor a system file.
    virtual bool IsOrdinaryFile(const std::string& path) = 0;
};

struct SpecialFolder {
    long result = 0;     // HRESULT of SHGetSpecialFolderLocation
    std::string buffer;  // the whole path buffer as filled, NULs included
};

class IShell {
public:
    virtual ~IShell() = default;
    virtual SpecialFolder GetSpecialFolder(int csidl) = 0;
    // ShellExecute with the default verb and SW_SHOWNORMAL.
    virtual bool OpenDocument(const std::string& file) = 0;
    // The shell automation object's ControlPanelItem; false when the object is unavailable or the call fails.
    virtual bool OpenControlPanelItem(const std::string& applet) = 0;
    // Starts the executable at this full path, quoted, with a normal focused window. Does not wait.
    virtual bool StartProcess(const std::string& executablePath) = 0;
};

// The shortcut in the user's Startup folder that starts this program with Windows, "Nimbrel.lnk" as the installer
// makes it.
class IStartupShortcut {
public:
    virtual ~IStartupShortcut() = default;
    // True while the shortcut is there and starts this very executable.
    virtual bool Present() = 0;
    // Makes the shortcut, or removes it.
    virtual WriteResult Set(bool present) = 0;
};

class IProcess {
public:
    virtual ~IProcess() = default;
    // The running executable's folder: no trailing separator except at a drive root; empty when it cannot
    // be found.
    virtual std::string ExecutableFolder() = 0;
    // Ends the process at once. The fake records the call and returns.
    virtual void EndProgram() = 0;
};

// ---- the command-bar component's drawing side ----

// The pictures of the bar; opaque to the core.
class IImageList {
public:
    virtual ~IImageList() = default;
    virtual int Count() const = 0;
};

// One button as the view draws it on the toolbar.
struct ToolButtonView {
    std::string key;
    int icon = -1;
    std::string caption;
    std::string toolTip;
    bool separator = false;
    bool dropDown = false;
    bool visible = true;
    // A file or folder whose picture the shell draws for the button, in place of the bar's own picture icon.
    std::string picture;
    // One of the user's own buttons at the bar's end: when the bar is too short for them, those that do not fit go
    // into a » menu.
    bool overflows = false;
};

// One entry of a drop-down menu.
// One entry of a popup menu. The view numbers the entries of a menu depth first, each submenu's entry before its own
// entries, separators included: that number is what TrackPopup gives back for a choice.
struct MenuItemView {
    int icon = -1;
    std::string picture;  // as ToolButtonView::picture, in place of icon
    std::string caption;  // '&' marks the access key
    bool enabled = true;
    bool separator = false;
    bool checked = false;
    bool radio = false;  // checked as one of a group, with a bullet
    std::vector<MenuItemView> submenu;
};

// Where a drop-down menu belongs: the pressed button's rectangle in screen pixels and the bar's edge.
struct PopupAnchor {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    Edge edge = Edge::Top;
};

// What the drawn bar reports back to its model.
class ICommandBarViewEvents {
public:
    virtual ~ICommandBarViewEvents() = default;
    virtual void OnButtonPressed(const std::string& key) = 0;
    virtual void OnDropDownPressed(const std::string& key, const PopupAnchor& anchor) = 0;
    // Whether a key may press a button now: never while the bar is parked.
    virtual bool KeysAccepted() const = 0;
    // Esc on the bar itself, with no menu open.
    virtual void OnEscapePressed() = 0;
    // A right-click on the bar, or the context-menu key or Shift+F10 on it: the menu belongs beside anchor. key is the
    // button's under the pointer or lit, empty elsewhere on the bar.
    virtual void OnContextMenu(const std::string& key, const PopupAnchor& anchor) = 0;
    // The » button, with the keys of the buttons that did not fit on the bar.
    virtual void OnOverflowPressed(const std::vector<std::string>& keys, const PopupAnchor& anchor) = 0;
};

class ICommandBarView {
public:
    virtual ~ICommandBarView() = default;
    // The side of the main window's inner area that the bar is held against and stretched along; nothing for none.
    virtual void SetAlignment(std::optional<Edge> side) = 0;
    // The screen edge the bar stands at, which decides whether it is a row or a column.
    virtual void SetDockSide(Edge side) = 0;
    // Sizes in twips; the view may keep a different size than asked, which the getters report.
    virtual void SetHeight(float twips) = 0;
    virtual void SetWidth(float twips) = 0;
    virtual float Height() const = 0;
    virtual float Width() const = 0;
    virtual void SetImageList(int slot, std::shared_ptr<IImageList> images) = 0;
    virtual void SetStyle(std::int32_t style) = 0;
    // The main bar's buttons, in order; called again whenever one of them changes.
    virtual void ShowButtons(const std::vector<ToolButtonView>& buttons) = 0;
    // The key of the button at this point of the virtual screen, in pixels: empty on the bar beside its buttons,
    // nothing off the bar.
    virtual std::optional<std::string> KeyAt(int x, int y) const = 0;
    // Shows a popup menu and waits for the choice; returns the chosen entry's index, or nothing.
    virtual std::optional<std::size_t> TrackPopup(const std::vector<MenuItemView>& items,
                                                  const PopupAnchor& anchor) = 0;
};

class IBarViewFactory {
public:
    virtual ~IBarViewFactory() = default;
    virtual std::unique_ptr<ICommandBarView> CreateBarView(ICommandBarViewEvents& events) = 0;
    virtual std::shared_ptr<IImageList> LoadImageList() = 0;
};

// What the system and other programs tell the main window while it runs.
class IWindowEvents {
public:
    virtual ~IWindowEvents() = default;
    // The screen's size or the monitors' layout changed.
    virtual void OnDisplayChanged() = 0;
    // The primary monitor's work area changed: a taskbar came, went, moved or changed its size.
    virtual void OnWorkAreaChanged() = 0;
    // A display's scale may have changed.
    virtual void OnScaleChanged() = 0;
    // Another start of the same program wants the bar back, as its shortcut key makes one.
    virtual void OnRecallRequested() = 0;
    // The window is no longer the active one: the user or another program turned elsewhere.
    virtual void OnDeactivated() = 0;
    // The session ends, or the installer replaces the program: end at once, as Exit does.
    virtual void OnEndRequested() = 0;
    // A handler stopped with an error, which may have left a move half done: the window goes back where the bar's
    // state says it stands.
    virtual void OnHandlerFailed() = 0;
};

// ---- folders of the user's own entries ----

enum class FolderStatus {
    Ok,
    Missing,     // nothing of that name: the folder may still be made later
    NotAFolder,  // a file of that name
    Unreadable,  // there, but its entries cannot be listed (no permission, an unreachable drive)
};

// One entry of a folder.
struct FolderEntry {
    std::string name;  // the file name, extension included
    bool folder = false;
};

struct FolderListing {
    FolderStatus status = FolderStatus::Missing;
    // In no particular order; hidden and system entries, "." and ".." are left out.
    std::vector<FolderEntry> entries;
};

// A watch on a folder; it stops when destroyed.
class IFolderWatch {
public:
    virtual ~IFolderWatch() = default;
};

class IFolders {
public:
    virtual ~IFolders() = default;
    virtual FolderListing List(const std::string& folder) = 0;
    // Explorer's order of two names: negative when a comes first, 0 when they are the same, positive otherwise.
    virtual int CompareNames(const std::string& a, const std::string& b) = 0;
    // Calls onChange when entries are added to, renamed in or removed from folder or a folder directly in it, and
    // when folder itself comes, goes or is renamed (its parent is watched for that, so the folder need not exist
    // yet). onChange runs from the message loop, at most a few times a second however many changes there are, and may
    // end its own watch.
    virtual std::unique_ptr<IFolderWatch> Watch(const std::string& folder, std::function<void()> onChange) = 0;
    // Opens the entry at this full path through the shell as a double-click would, so that a shortcut's own
    // arguments, working folder, window state and elevation apply. On failure the shell has shown its own message
    // (owned by the main window) and the result is false.
    virtual bool OpenEntry(const std::string& path) = 0;
    // Opens the folder at this full path in Explorer; on failure as OpenEntry.
    virtual bool ExploreFolder(const std::string& path) = 0;
};

// ---- adding to and removing from the user's own entries ----

// Whether the system did what it was asked, and its reason when it did not.
struct Outcome {
    bool done = false;
    std::string reason;
};

enum class PathKind {
    Missing,
    File,
    Folder,
};

// The files of the Links folder. Nothing here replaces a file or folder that is there.
class IEntryFiles {
public:
    virtual ~IEntryFiles() = default;
    // What is at this full path; names compare as the file system compares them, without regard to case.
    virtual PathKind KindOf(const std::string& path) = 0;
    // Makes the folder; one that is there already counts as made.
    virtual Outcome MakeFolder(const std::string& path) = 0;
    virtual Outcome Copy(const std::string& from, const std::string& to) = 0;
    // A shell link at path that starts target, with the target's folder as its working folder.
    virtual Outcome WriteShellLink(const std::string& path, const std::string& target) = 0;
    // A new file that holds these bytes as they are.
    virtual Outcome WriteNewFile(const std::string& path, const std::string& bytes) = 0;
    // Moves the file or folder to the Recycle Bin without asking. Where the bin cannot take it, the system asks
    // before deleting it for good.
    virtual Outcome Recycle(const std::string& path) = 0;
};

// What the file dialog gave: the chosen files' full paths, none when the user cancelled.
struct FileChoice {
    std::vector<std::string> paths;
    std::string reason;  // why no dialog could be shown
};

// The shell's windows and program starts for the user's entries. The main window owns what they show.
class IEntryShell {
public:
    virtual ~IEntryShell() = default;
    // The shell's property sheet of the file or folder, which stays open on its own.
    virtual Outcome ShowProperties(const std::string& path) = 0;
    // The "Add to the bar" file dialog, for one file or several; a shortcut chosen is given as itself.
    virtual FileChoice ChooseFiles() = 0;
    // Starts program with these arguments, each quoted: an executable directly, anything else (a shortcut, a
    // script) through the shell.
    virtual Outcome StartWith(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

// Hears what is dragged over the main window and let go on it.
class IDropHandler {
public:
    virtual ~IDropHandler() = default;
    // What lies at this point of the virtual screen, in pixels.
    virtual DropSpot DropSpotAt(int x, int y) = 0;
    // Something droppable came over the window (true), or left it, let go or not (false).
    virtual void OnDragOver(bool over) = 0;
    // Let go where it does something; runs inside the drop, while the program the drag comes from waits.
    virtual void OnDrop(const DroppedItems& items, const DropSpot& spot) = 0;
};

// Everything the main window reaches outside itself.
struct Platform {
    IMainWindow& window;
    IScreen& screen;
    ITimerFactory& timers;
    IPointer& pointer;
    IMessagePump& pump;
    IMessageBox& messageBox;
    IFileSystem& files;
    IShell& shell;
    IProcess& process;
    IBarViewFactory& barViews;
    IStartupShortcut& startup;
    IFolders& folders;
    IEntryFiles& entryFiles;
    IEntryShell& entryShell;
};

}  // namespace nimbrel
