// A recording platform for the unit tests: every call that reaches the outside world is logged in order,
// timers run on a virtual clock, and the file system is an in-memory table of Windows paths.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "platform/Platform.h"

namespace nimbrel::test {

class CallLog {
public:
    void Add(std::string entry) { entries_.push_back(std::move(entry)); }
    const std::vector<std::string>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    // Entries that start with prefix, in order.
    std::vector<std::string> Matching(const std::string& prefix) const;
    bool Contains(const std::string& entry) const;
    std::size_t Count(const std::string& entry) const;

private:
    std::vector<std::string> entries_;
};

std::string Num(float value);

// The primary monitor is the screen; the work area follows it unless set, and other monitors may join it.
class FakeScreen final : public IScreen {
public:
    float Width() const override { return static_cast<float>(widthPixels) * twipsPerPixelX; }
    float Height() const override { return static_cast<float>(heightPixels) * twipsPerPixelY; }
    float TwipsPerPixelX() const override { return twipsPerPixelX; }
    float TwipsPerPixelY() const override { return twipsPerPixelY; }
    TwipsRect WorkArea() const override;
    std::vector<Monitor> Monitors() const override;
    float AutoHideTaskbar(Edge edge) const override;
    // True when the twips per pixel differ from those of the last call (or of the form's creation).
    bool UpdateScale() override;

    int widthPixels = 1024;
    int heightPixels = 768;
    float twipsPerPixelX = 15.0F;
    float twipsPerPixelY = 15.0F;
    std::optional<PixelRect> workArea;
    std::vector<PixelRect> otherMonitors;
    // An auto-hide taskbar's edge and shown thickness in pixels.
    std::optional<std::pair<Edge, int>> autoHide;
    float appliedX = 15.0F, appliedY = 15.0F;
};

// Keeps its size in whole pixels of the screen, as a real window does; positions are kept as given.
class FakeWindow final : public IMainWindow {
public:
    FakeWindow(CallLog& log, const IScreen& screen) : log_(log), screen_(screen) {}
    float Left() const override { return left; }
    float Top() const override { return top; }
    float Width() const override { return width; }
    float Height() const override { return height; }
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    void Move(float newLeft, float newTop) override;
    void SetVisible(bool on) override;
    void SetKeyPreview(bool on) override;
    bool SetZOrder(ZOrder order) override;
    bool Activate() override;
    bool SetFocus() override;
    bool Refresh() override;
    std::uintptr_t ForegroundWindow() const override { return foreground; }
    bool TakeForeground() override;
    bool HasForeground() const override { return foreground == 0; }
    bool GiveForeground(std::uintptr_t window) override;
    void LetOthersTakeForeground() override;
    void AcceptDrops(IDropHandler& handler) override { drops = &handler; }

    float left = 0, top = 0, width = 3000, height = 3000;
    // The window in the foreground, 0 for this one.
    std::uintptr_t foreground = 0;
    // Runs inside Move once the window stands at its new place, as Windows sends messages from inside SetWindowPos.
    std::function<void()> onMove;
    bool visible = false;
    bool topmost = false;
    bool keyPreview = true;
    bool failZOrder = false, failActivate = false, failFocus = false, failRefresh = false;
    // Windows refuses SetForegroundWindow, as it does while another program has a menu open.
    bool refuseForeground = false;
    // What hears the drags over the window, once it takes them.
    IDropHandler* drops = nullptr;

private:
    CallLog& log_;
    const IScreen& screen_;
};

class VirtualClock;

class FakeTimer final : public ITimer {
public:
    FakeTimer(VirtualClock& clock,
              CallLog& log,
              std::string name,
              std::function<void()> onTick,
              bool enabled,
              unsigned interval);
    FakeTimer(const FakeTimer&) = delete;
    FakeTimer& operator=(const FakeTimer&) = delete;
    ~FakeTimer() override;
    void SetInterval(unsigned milliseconds) override;
    void SetEnabled(bool enabled) override;
    unsigned Interval() const override { return interval_; }
    bool Enabled() const override { return enabled_; }

    const std::string& Name() const { return name_; }
    bool Armed() const { return enabled_ && interval_ > 0; }
    std::int64_t Due() const { return armedAt_ + interval_; }
    void Fire();

private:
    VirtualClock& clock_;
    CallLog& log_;
    std::string name_;
    std::function<void()> onTick_;
    bool enabled_;
    unsigned interval_;
    std::int64_t armedAt_ = 0;
};

// Timers fire in due order as virtual time advances; a periodic timer re-arms after each tick.
class VirtualClock final : public ITimerFactory {
public:
    explicit VirtualClock(CallLog& log) : log_(log) {}
    std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTick, bool enabled, unsigned interval) override;
    std::int64_t Now() const { return now_; }
    void Advance(std::int64_t milliseconds);
    FakeTimer* Find(const std::string& name) const;
    void Forget(FakeTimer* timer);

private:
    CallLog& log_;
    std::int64_t now_ = 0;
    std::vector<FakeTimer*> timers_;
};

class FakePointer final : public IPointer {
public:
    bool GetCursorPos(std::int32_t& px, std::int32_t& py) override;
    std::int32_t x = 0, y = 0;
    bool fail = false;
    int queries = 0;
};

// Runs queued actions inside the next DoEvents, as a nested message pump would run pending handlers.
class FakePump final : public IMessagePump {
public:
    explicit FakePump(CallLog& log) : log_(log) {}
    void DoEvents() override;
    // Queued behind the pending messages; runs in the next DoEvents.
    void Post(std::function<void()> task) override;
    std::deque<std::function<void()>> pending;
    int calls = 0;

private:
    CallLog& log_;
};

class FakeMessageBox final : public IMessageBox {
public:
    explicit FakeMessageBox(CallLog& log) : log_(log) {}
    int Show(const std::string& text, unsigned style, const std::string& title) override;

private:
    CallLog& log_;
};

enum class EntryKind { Ordinary, Hidden, System, Directory, Locked };

// The reason given for a Locked entry.
inline constexpr const char* kSharingViolation =
    "The process cannot access the file because it is being used by another process.";

// Paths compare without regard to case, as on Windows. Every folder of a stored path exists.
class FakeFileSystem final : public IFileSystem {
public:
    explicit FakeFileSystem(CallLog& log) : log_(log) {}
    ReadResult ReadTextFile(const std::string& path) override;
    bool WriteTextFile(const std::string& path, const std::string& text) override;
    bool IsOrdinaryFile(const std::string& path) override;
    ReadResult ReadFileBytes(const std::string& path) override;
    WriteResult ReplaceFileBytes(const std::string& path, const std::string& bytes) override;

    void Put(const std::string& path, std::string content = {}, EntryKind kind = EntryKind::Ordinary);
    void Remove(const std::string& path);
    std::optional<std::string> Content(const std::string& path) const;
    // Folders where nothing can be created or replaced.
    void MakeReadOnlyFolder(const std::string& folder);

    int existenceChecks = 0;
    int writes = 0;
    // Every path that is not stored reads as a folder that is there.
    bool everyFolderThere = false;
    int replaces = 0;
    // The reason every replace fails with, when set.
    std::optional<std::string> failReplace;

private:
    struct Entry {
        std::string content;
        EntryKind kind;
    };
    static std::string Normal(const std::string& path);
    ReadResult Read(const std::string& path) const;
    CallLog& log_;
    std::map<std::string, Entry> entries_;
    std::vector<std::string> readOnlyFolders_;
};

// The Startup folder's shortcut, in memory.
class FakeStartupShortcut final : public IStartupShortcut {
public:
    explicit FakeStartupShortcut(CallLog& log) : log_(log) {}
    bool Present() override { return present; }
    WriteResult Set(bool on) override;

    bool present = false;
    std::optional<std::string> fail;  // the reason every change fails with, when set

private:
    CallLog& log_;
};

// The Links folder's files in memory: paths compare without regard to case, and every folder of a stored path is
// there.
class FakeEntryFiles final : public IEntryFiles {
public:
    explicit FakeEntryFiles(CallLog& log) : log_(log) {}
    PathKind KindOf(const std::string& path) override;
    Outcome MakeFolder(const std::string& path) override;
    Outcome Copy(const std::string& from, const std::string& to) override;
    Outcome WriteShellLink(const std::string& path, const std::string& target) override;
    Outcome WriteNewFile(const std::string& path, const std::string& bytes) override;
    Outcome Recycle(const std::string& path) override;

    void AddFile(const std::string& path, std::string content = {});
    void AddFolder(const std::string& path);
    // A file's content; a shell link reads "link to <target>".
    std::optional<std::string> Content(const std::string& path) const;
    // The entries of a folder, by their file names as stored, in no particular order.
    std::vector<std::string> Names(const std::string& folder) const;
    // Folders where nothing can be made, written or removed.
    void MakeReadOnly(const std::string& folder);

    // The reason every write fails with once this many more have been written.
    std::optional<std::string> diskFull;
    std::size_t writesLeft = 0;
    std::vector<std::string> recycled;

private:
    struct Node {
        std::string path;  // as given
        bool folder = false;
        std::string content;
    };
    static std::string Normal(const std::string& path);
    // The reason a write to path fails, if it does.
    std::optional<std::string> WriteFailure(const std::string& path);
    Outcome Store(const std::string& path, std::string content, const std::string& call);

    CallLog& log_;
    std::map<std::string, Node> nodes_;
    std::vector<std::string> readOnly_;
};

// The shell's windows and program starts: each records its call, and the file dialog gives what is set.
class FakeEntryShell final : public IEntryShell {
public:
    explicit FakeEntryShell(CallLog& log) : log_(log) {}
    Outcome ShowProperties(const std::string& path) override;
    FileChoice ChooseFiles() override;
    Outcome StartWith(const std::string& program, const std::vector<std::string>& arguments) override;

    FileChoice choice;
    // The reason each call fails with, when set.
    std::optional<std::string> fail;
    // Each start: the program, then its arguments.
    std::vector<std::vector<std::string>> started;

private:
    CallLog& log_;
};

class FakeShell final : public IShell {
public:
    explicit FakeShell(CallLog& log) : log_(log) {}
    SpecialFolder GetSpecialFolder(int csidl) override;
    bool OpenDocument(const std::string& file) override;
    bool OpenControlPanelItem(const std::string& applet) override;
    bool StartProcess(const std::string& executablePath) override;

    long specialFolderResult = 0;
    std::string programFilesBuffer = std::string("C:\\Program Files") + std::string(245, '\0');
    // The answer for the 32-bit Program Files folder; unset: the same as for Program Files.
    std::optional<SpecialFolder> programFilesX86;
    // An answer of the shell: result, and path in a buffer of NULs.
    static SpecialFolder Answer(long result, const std::string& path);
    bool failOpen = false, failApplet = false, failStart = false;

private:
    CallLog& log_;
};

class FakeProcess final : public IProcess {
public:
    explicit FakeProcess(CallLog& log) : log_(log) {}
    std::string ExecutableFolder() override { return executableFolder; }
    void EndProgram() override;
    std::string executableFolder = "C:\\Apps\\Bar";
    bool ended = false;

private:
    CallLog& log_;
};

// Folders and files in memory, for the Links folder. Paths compare without regard to case; a stored path's folders
// exist. Names compare as Explorer orders them: without regard to case, digits by their number.
class FakeFolders final : public IFolders {
public:
    explicit FakeFolders(CallLog& log) : log_(log) {}
    FolderListing List(const std::string& folder) override;
    int CompareNames(const std::string& a, const std::string& b) override;
    std::unique_ptr<IFolderWatch> Watch(const std::string& folder, std::function<void()> onChange) override;
    bool OpenEntry(const std::string& path) override;
    bool ExploreFolder(const std::string& path) override;

    // Hidden and System make a hidden or system entry, Locked a folder that cannot be listed.
    void AddFile(const std::string& path, EntryKind kind = EntryKind::Ordinary);
    void AddFolder(const std::string& path, EntryKind kind = EntryKind::Ordinary);
    // Removes the entry and everything in it.
    void Remove(const std::string& path);
    // What a change notification does: runs the callback of every watch that is running.
    void NotifyWatchers();
    // The folders watched now.
    std::vector<std::string> Watched() const;

    int listings = 0;
    int comparisons = 0;
    bool failOpen = false;

private:
    struct Node {
        std::string name;
        bool folder = false;
        EntryKind kind = EntryKind::Ordinary;
    };
    struct WatchRecord {
        std::string folder;
        std::function<void()> onChange;
        bool running = true;
    };
    class FakeWatch;
    void Add(const std::string& path, bool folder, EntryKind kind);

    CallLog& log_;
    std::map<std::string, Node> nodes_;
    std::vector<std::shared_ptr<WatchRecord>> watches_;
};

class FakeImageList final : public IImageList {
public:
    int Count() const override { return 38; }
};

class FakeBarViewFactory;

class FakeBarView final : public ICommandBarView {
public:
    FakeBarView(FakeBarViewFactory& factory, CallLog& log, int number, ICommandBarViewEvents& events);
    void SetAlignment(std::optional<Edge> side) override;
    void SetDockSide(Edge side) override;
    void SetHeight(float twips) override;
    void SetWidth(float twips) override;
    float Height() const override { return height; }
    float Width() const override { return width; }
    void SetImageList(int slot, std::shared_ptr<IImageList> images) override;
    void SetStyle(std::int32_t value) override;
    void ShowButtons(const std::vector<ToolButtonView>& buttons) override;
    std::optional<std::string> KeyAt(int, int) const override { return keyAt; }
    std::optional<std::size_t> TrackPopup(const std::vector<MenuItemView>& items, const PopupAnchor& anchor) override;

    ICommandBarViewEvents& events;
    std::optional<Edge> alignment;
    std::optional<Edge> dockSide;
    float height = 0, width = 0;
    std::int32_t style = -99;
    std::shared_ptr<IImageList> images[2];
    std::vector<ToolButtonView> shown;
    // The key under every point: nothing is off the bar.
    std::optional<std::string> keyAt;
    int showCalls = 0;
    std::vector<std::vector<MenuItemView>> popups;

private:
    FakeBarViewFactory& factory_;
    CallLog& log_;
    int number_;
};

class FakeBarViewFactory final : public IBarViewFactory {
public:
    explicit FakeBarViewFactory(CallLog& log) : log_(log) {}
    std::unique_ptr<ICommandBarView> CreateBarView(ICommandBarViewEvents& events) override;
    std::shared_ptr<IImageList> LoadImageList() override;

    // The thickness a bar keeps whatever it is asked for (nothing: keeps what it is asked).
    std::optional<float> keptThickness;
    // Chooses the popup entry; may run further actions while the menu is "open".
    std::function<std::optional<std::size_t>(const std::vector<MenuItemView>&)> choose;
    std::vector<FakeBarView*> views;

private:
    CallLog& log_;
};

// One fake of everything, wired into a Platform.
struct FakeSystem {
    FakeSystem();
    // A frmMain on this platform; LoadMainWindow not yet run.
    std::unique_ptr<frmMain> MakeForm();
    // Loads a form and clears the log so that tests see only what follows start-up.
    std::unique_ptr<frmMain> StartedForm();
    // The same, with a settings file that names these edges.
    std::unique_ptr<frmMain> StartedAt(const std::string& toolbar, const std::string& recall);
    // One pointer-watch tick with the pointer at (x, y) pixels; true when the bar is docked afterwards.
    bool TickAt(frmMain& form, int x, int y);
    void InstallAll(const std::string& programFiles = "C:\\Program Files");

    CallLog log;
    FakeScreen screen;
    FakeWindow window{log, screen};
    VirtualClock clock{log};
    FakePointer pointer;
    FakePump pump{log};
    FakeMessageBox messageBox{log};
    FakeFileSystem files{log};
    FakeShell shell{log};
    FakeProcess process{log};
    FakeBarViewFactory barViews{log};
    FakeStartupShortcut startup{log};
    FakeFolders folders{log};
    FakeEntryFiles entryFiles{log};
    FakeEntryShell entryShell{log};
    Platform platform;
};

// The install path of every catalogued program under programFiles, Outlook in the unnumbered Office folder.
std::vector<std::string> CataloguePaths(const std::string& programFiles);

}  // namespace nimbrel::test
