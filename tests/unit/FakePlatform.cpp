#include "FakePlatform.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/Module1.h"

namespace nimbrel::test {

std::vector<std::string> CallLog::Matching(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : entries_) {
        if (e.rfind(prefix, 0) == 0)
            out.push_back(e);
    }
    return out;
}

bool CallLog::Contains(const std::string& entry) const {
    return Count(entry) > 0;
}

std::size_t CallLog::Count(const std::string& entry) const {
    return static_cast<std::size_t>(std::count(entries_.begin(), entries_.end(), entry));
}

std::string Num(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

TwipsRect FakeScreen::WorkArea() const {
    const PixelRect area = workArea.value_or(PixelRect{0, 0, widthPixels, heightPixels});
    return {static_cast<float>(area.left) * twipsPerPixelX, static_cast<float>(area.top) * twipsPerPixelY,
            static_cast<float>(area.right) * twipsPerPixelX, static_cast<float>(area.bottom) * twipsPerPixelY};
}

std::vector<Monitor> FakeScreen::Monitors() const {
    std::vector<Monitor> monitors{{{0, 0, widthPixels, heightPixels}, true}};
    for (const PixelRect& other : otherMonitors)
        monitors.push_back({other, false});
    return monitors;
}

float FakeScreen::AutoHideTaskbar(Edge edge) const {
    if (!autoHide || autoHide->first != edge)
        return 0;
    return static_cast<float>(autoHide->second) * (Vertical(edge) ? twipsPerPixelX : twipsPerPixelY);
}

bool FakeScreen::UpdateScale() {
    const bool changed = appliedX != twipsPerPixelX || appliedY != twipsPerPixelY;
    appliedX = twipsPerPixelX;
    appliedY = twipsPerPixelY;
    return changed;
}

void FakeWindow::SetLeft(float twips) {
    left = twips;
    log_.Add("window.Left=" + Num(twips));
}

void FakeWindow::SetTop(float twips) {
    top = twips;
    log_.Add("window.Top=" + Num(twips));
}

namespace {

float WholePixels(float twips, float twipsPerPixel) {
    return static_cast<float>(std::lround(static_cast<double>(twips) / static_cast<double>(twipsPerPixel))) *
           twipsPerPixel;
}

}  // namespace

void FakeWindow::SetWidth(float twips) {
    width = WholePixels(twips, screen_.TwipsPerPixelX());
    log_.Add("window.Width=" + Num(twips));
}

void FakeWindow::SetHeight(float twips) {
    height = WholePixels(twips, screen_.TwipsPerPixelY());
    log_.Add("window.Height=" + Num(twips));
}

void FakeWindow::Move(float newLeft, float newTop) {
    left = newLeft;
    top = newTop;
    log_.Add("window.Move(" + Num(newLeft) + "," + Num(newTop) + ")");
    if (onMove)
        onMove();
}

void FakeWindow::SetVisible(bool on) {
    visible = on;
    log_.Add(on ? "window.Show" : "window.Hide");
}

void FakeWindow::SetKeyPreview(bool on) {
    keyPreview = on;
    log_.Add(on ? "window.KeyPreview=1" : "window.KeyPreview=0");
}

bool FakeWindow::SetZOrder(ZOrder order) {
    const char* names[] = {"Top", "Topmost", "NoTopmost"};
    log_.Add(std::string("window.SetWindowPos(") + names[static_cast<int>(order)] + ")");
    if (failZOrder)
        return false;
    if (order == ZOrder::Topmost)
        topmost = true;
    else if (order == ZOrder::NoTopmost)
        topmost = false;
    return true;
}

bool FakeWindow::Activate() {
    log_.Add("window.SetActiveWindow");
    return !failActivate;
}

bool FakeWindow::SetFocus() {
    log_.Add("window.SetFocus");
    return !failFocus;
}

bool FakeWindow::TakeForeground() {
    log_.Add("window.SetForegroundWindow");
    if (refuseForeground)
        return false;
    foreground = 0;
    return true;
}

void FakeWindow::LetOthersTakeForeground() {
    log_.Add("window.AllowSetForegroundWindow(ANY)");
}

bool FakeWindow::GiveForeground(std::uintptr_t window) {
    log_.Add("window.GiveForeground(" + std::to_string(window) + ")");
    foreground = window;
    return true;
}

bool FakeWindow::Refresh() {
    log_.Add("window.Refresh");
    return !failRefresh;
}

FakeTimer::FakeTimer(VirtualClock& clock,
                     CallLog& log,
                     std::string name,
                     std::function<void()> onTick,
                     bool enabled,
                     unsigned interval)
    : clock_(clock),
      log_(log),
      name_(std::move(name)),
      onTick_(std::move(onTick)),
      enabled_(enabled),
      interval_(interval),
      armedAt_(clock.Now()) {}

FakeTimer::~FakeTimer() {
    clock_.Forget(this);
}

void FakeTimer::SetInterval(unsigned milliseconds) {
    interval_ = milliseconds;
    armedAt_ = clock_.Now();
    log_.Add(name_ + ".Interval=" + std::to_string(milliseconds));
}

void FakeTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled)
        armedAt_ = clock_.Now();
    log_.Add(name_ + (enabled ? ".Enabled=1" : ".Enabled=0"));
}

void FakeTimer::Fire() {
    armedAt_ = clock_.Now();
    log_.Add(name_ + ".Tick");
    onTick_();
}

std::unique_ptr<ITimer> VirtualClock::CreateTimer(std::function<void()> onTick, bool enabled, unsigned interval) {
    // frmMain creates Timer1 first, then Timer2.
    std::string name = "Timer" + std::to_string(timers_.size() + 1);
    auto timer = std::make_unique<FakeTimer>(*this, log_, name, std::move(onTick), enabled, interval);
    timers_.push_back(timer.get());
    return timer;
}

void VirtualClock::Advance(std::int64_t milliseconds) {
    const std::int64_t end = now_ + milliseconds;
    for (;;) {
        FakeTimer* next = nullptr;
        for (FakeTimer* t : timers_) {
            if (t->Armed() && t->Due() <= end && (next == nullptr || t->Due() < next->Due()))
                next = t;
        }
        if (next == nullptr)
            break;
        now_ = std::max(now_, next->Due());
        next->Fire();
    }
    now_ = end;
}

void VirtualClock::Forget(FakeTimer* timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

FakeTimer* VirtualClock::Find(const std::string& name) const {
    for (FakeTimer* t : timers_) {
        if (t->Name() == name)
            return t;
    }
    return nullptr;
}

bool FakePointer::GetCursorPos(std::int32_t& px, std::int32_t& py) {
    ++queries;
    if (fail)
        return false;
    px = x;
    py = y;
    return true;
}

void FakePump::DoEvents() {
    ++calls;
    log_.Add("DoEvents");
    std::deque<std::function<void()>> now;
    now.swap(pending);
    for (auto& action : now)
        action();
}

void FakePump::Post(std::function<void()> task) {
    log_.Add("pump.Post");
    pending.push_back(std::move(task));
}

int FakeMessageBox::Show(const std::string& text, unsigned style, const std::string& title) {
    log_.Add("MsgBox(" + text + "|" + std::to_string(style) + "|" + title + ")");
    return 1;
}

namespace {

// A Windows path as the fakes key it: without regard to case, either slash.
std::string FoldedPath(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c == '/')
            c = '\\';
    }
    return out;
}

}  // namespace

std::string FakeFileSystem::Normal(const std::string& path) {
    return FoldedPath(path);
}

ReadResult FakeFileSystem::Read(const std::string& path) const {
    const std::string key = Normal(path);
    auto it = entries_.find(key);
    if (it == entries_.end()) {
        // A folder that holds something cannot be read as a file.
        auto below = entries_.lower_bound(key + "\\");
        const bool folder = below != entries_.end() && below->first.rfind(key + "\\", 0) == 0;
        if (folder || everyFolderThere)
            return {ReadStatus::Failed, {}, "Access is denied."};
        return {ReadStatus::Missing, {}, {}};
    }
    if (it->second.kind == EntryKind::Directory)
        return {ReadStatus::Failed, {}, "Access is denied."};
    if (it->second.kind == EntryKind::Locked)
        return {ReadStatus::Failed, {}, kSharingViolation};
    return {ReadStatus::Ok, it->second.content, {}};
}

ReadResult FakeFileSystem::ReadTextFile(const std::string& path) {
    log_.Add("files.Read(" + path + ")");
    return Read(path);
}

bool FakeFileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    ++writes;
    log_.Add("files.Write(" + path + ")");
    const std::string key = Normal(path);
    for (const std::string& folder : readOnlyFolders_) {
        if (key.rfind(folder, 0) == 0)
            return false;
    }
    auto it = entries_.find(key);
    if (it != entries_.end() && (it->second.kind == EntryKind::Directory || it->second.kind == EntryKind::Locked))
        return false;
    entries_[key] = {text, EntryKind::Ordinary};
    return true;
}

bool FakeFileSystem::IsOrdinaryFile(const std::string& path) {
    ++existenceChecks;
    auto it = entries_.find(Normal(path));
    return it != entries_.end() && it->second.kind == EntryKind::Ordinary;
}

ReadResult FakeFileSystem::ReadFileBytes(const std::string& path) {
    log_.Add("files.ReadBytes(" + path + ")");
    return Read(path);
}

WriteResult FakeFileSystem::ReplaceFileBytes(const std::string& path, const std::string& bytes) {
    ++replaces;
    log_.Add("files.Replace(" + path + ")");
    const std::string key = Normal(path);
    if (failReplace)
        return {false, *failReplace};
    for (const std::string& folder : readOnlyFolders_) {
        if (key.rfind(folder, 0) == 0)
            return {false, "Access is denied."};
    }
    auto it = entries_.find(key);
    if (it != entries_.end() && it->second.kind == EntryKind::Directory)
        return {false, "Access is denied."};
    if (it != entries_.end() && it->second.kind == EntryKind::Locked)
        return {false, kSharingViolation};
    // A replaced file keeps its attributes, as with ReplaceFileW.
    entries_[key] = {bytes, it != entries_.end() ? it->second.kind : EntryKind::Ordinary};
    return {true, {}};
}

void FakeFileSystem::Put(const std::string& path, std::string content, EntryKind kind) {
    entries_[Normal(path)] = {std::move(content), kind};
}

void FakeFileSystem::Remove(const std::string& path) {
    entries_.erase(Normal(path));
}

std::optional<std::string> FakeFileSystem::Content(const std::string& path) const {
    auto it = entries_.find(Normal(path));
    if (it == entries_.end())
        return std::nullopt;
    return it->second.content;
}

void FakeFileSystem::MakeReadOnlyFolder(const std::string& folder) {
    readOnlyFolders_.push_back(Normal(folder) + "\\");
}

WriteResult FakeStartupShortcut::Set(bool on) {
    log_.Add(std::string("startup.") + (on ? "Make" : "Remove"));
    if (fail)
        return {false, *fail};
    present = on;
    return {true, {}};
}

std::string FakeEntryFiles::Normal(const std::string& path) {
    std::string out = FoldedPath(path);
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

PathKind FakeEntryFiles::KindOf(const std::string& path) {
    const std::string key = Normal(path);
    if (auto it = nodes_.find(key); it != nodes_.end())
        return it->second.folder ? PathKind::Folder : PathKind::File;
    auto below = nodes_.lower_bound(key + "\\");
    return below != nodes_.end() && below->first.rfind(key + "\\", 0) == 0 ? PathKind::Folder : PathKind::Missing;
}

std::optional<std::string> FakeEntryFiles::WriteFailure(const std::string& path) {
    const std::string key = Normal(path);
    for (const std::string& folder : readOnly_) {
        if (key.rfind(folder, 0) == 0)
            return "Access is denied.";
    }
    if (KindOf(path) != PathKind::Missing)
        return "The file exists.";
    if (diskFull) {
        if (writesLeft == 0)
            return diskFull;
        --writesLeft;
    }
    return std::nullopt;
}

Outcome FakeEntryFiles::Store(const std::string& path, std::string content, const std::string& call) {
    log_.Add("entries." + call + "(" + path + ")");
    if (std::optional<std::string> failure = WriteFailure(path))
        return {false, *failure};
    nodes_[Normal(path)] = {path, false, std::move(content)};
    return {true, {}};
}

Outcome FakeEntryFiles::MakeFolder(const std::string& path) {
    log_.Add("entries.MakeFolder(" + path + ")");
    const PathKind kind = KindOf(path);
    if (kind == PathKind::Folder)
        return {true, {}};
    if (kind == PathKind::File)
        return {false, "Cannot create a file when that file already exists."};
    if (std::optional<std::string> failure = WriteFailure(path))
        return {false, *failure};
    nodes_[Normal(path)] = {path, true, {}};
    return {true, {}};
}

Outcome FakeEntryFiles::Copy(const std::string& from, const std::string& to) {
    const std::optional<std::string> content = Content(from);
    if (!content) {
        log_.Add("entries.Copy(" + to + ")");
        return {false, "The system cannot find the file specified."};
    }
    return Store(to, *content, "Copy");
}

Outcome FakeEntryFiles::WriteShellLink(const std::string& path, const std::string& target) {
    return Store(path, "link to " + target, "Link");
}

Outcome FakeEntryFiles::WriteNewFile(const std::string& path, const std::string& bytes) {
    return Store(path, bytes, "Write");
}

Outcome FakeEntryFiles::Recycle(const std::string& path) {
    log_.Add("entries.Recycle(" + path + ")");
    const std::string key = Normal(path);
    if (KindOf(path) == PathKind::Missing)
        return {false, "The system cannot find the file specified."};
    for (const std::string& folder : readOnly_) {
        if (key.rfind(folder, 0) == 0)
            return {false, "Access is denied."};
    }
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == key || it->first.rfind(key + "\\", 0) == 0)
            it = nodes_.erase(it);
        else
            ++it;
    }
    recycled.push_back(path);
    return {true, {}};
}

void FakeEntryFiles::AddFile(const std::string& path, std::string content) {
    nodes_[Normal(path)] = {path, false, std::move(content)};
}

void FakeEntryFiles::AddFolder(const std::string& path) {
    nodes_[Normal(path)] = {path, true, {}};
}

std::optional<std::string> FakeEntryFiles::Content(const std::string& path) const {
    auto it = nodes_.find(Normal(path));
    if (it == nodes_.end() || it->second.folder)
        return std::nullopt;
    return it->second.content;
}

std::vector<std::string> FakeEntryFiles::Names(const std::string& folder) const {
    const std::string prefix = Normal(folder) + "\\";
    std::vector<std::string> names;
    for (const auto& [key, node] : nodes_) {
        if (key.rfind(prefix, 0) == 0 && key.find('\\', prefix.size()) == std::string::npos)
            names.push_back(node.path.substr(node.path.find_last_of("\\/") + 1));
    }
    return names;
}

void FakeEntryFiles::MakeReadOnly(const std::string& folder) {
    readOnly_.push_back(Normal(folder) + "\\");
}

Outcome FakeEntryShell::ShowProperties(const std::string& path) {
    log_.Add("entryShell.Properties(" + path + ")");
    return fail ? Outcome{false, *fail} : Outcome{true, {}};
}

FileChoice FakeEntryShell::ChooseFiles() {
    log_.Add("entryShell.ChooseFiles");
    return choice;
}

Outcome FakeEntryShell::StartWith(const std::string& program, const std::vector<std::string>& arguments) {
    log_.Add("entryShell.StartWith(" + program + ")");
    std::vector<std::string> call{program};
    call.insert(call.end(), arguments.begin(), arguments.end());
    started.push_back(std::move(call));
    return fail ? Outcome{false, *fail} : Outcome{true, {}};
}

SpecialFolder FakeShell::GetSpecialFolder(int csidl) {
    log_.Add("shell.GetSpecialFolder(" + std::to_string(csidl) + ")");
    if (csidl == kCsidlProgramFilesX86 && programFilesX86)
        return *programFilesX86;
    SpecialFolder folder;
    folder.result = specialFolderResult;
    if (specialFolderResult == 0)
        folder.buffer = programFilesBuffer;
    return folder;
}

SpecialFolder FakeShell::Answer(long result, const std::string& path) {
    return {result, path + std::string(16, '\0')};
}

bool FakeShell::OpenDocument(const std::string& file) {
    log_.Add("shell.Open(" + file + ")");
    return !failOpen;
}

bool FakeShell::OpenControlPanelItem(const std::string& applet) {
    log_.Add("shell.ControlPanelItem(" + applet + ")");
    return !failApplet;
}

bool FakeShell::StartProcess(const std::string& executablePath) {
    log_.Add("shell.Start(" + executablePath + ")");
    return !failStart;
}

void FakeProcess::EndProgram() {
    ended = true;
    log_.Add("process.End");
}

FakeBarView::FakeBarView(FakeBarViewFactory& factory, CallLog& log, int number, ICommandBarViewEvents& ev)
    : events(ev), factory_(factory), log_(log), number_(number) {}

void FakeBarView::SetAlignment(std::optional<Edge> side) {
    alignment = side;
    log_.Add("bar" + std::to_string(number_) + ".Align=" + (side ? EdgeName(*side) : "none"));
}

void FakeBarView::SetDockSide(Edge side) {
    dockSide = side;
    log_.Add("bar" + std::to_string(number_) + ".DockSide=" + EdgeName(side));
}

void FakeBarView::SetHeight(float twips) {
    height = (twips != 0 && factory_.keptThickness) ? *factory_.keptThickness : twips;
    log_.Add("bar" + std::to_string(number_) + ".Height=" + Num(twips));
}

void FakeBarView::SetWidth(float twips) {
    width = (twips != 0 && factory_.keptThickness) ? *factory_.keptThickness : twips;
    log_.Add("bar" + std::to_string(number_) + ".Width=" + Num(twips));
}

void FakeBarView::SetImageList(int slot, std::shared_ptr<IImageList> list) {
    images[slot] = std::move(list);
    log_.Add("bar" + std::to_string(number_) + ".ImageList" + std::to_string(slot));
}

void FakeBarView::SetStyle(std::int32_t value) {
    style = value;
    log_.Add("bar" + std::to_string(number_) + ".Style=" + std::to_string(value));
}

void FakeBarView::ShowButtons(const std::vector<ToolButtonView>& buttons) {
    shown = buttons;
    ++showCalls;
}

std::optional<std::size_t> FakeBarView::TrackPopup(const std::vector<MenuItemView>& items, const PopupAnchor&) {
    popups.push_back(items);
    log_.Add("bar" + std::to_string(number_) + ".Popup");
    if (factory_.choose)
        return factory_.choose(items);
    return std::nullopt;
}

std::unique_ptr<ICommandBarView> FakeBarViewFactory::CreateBarView(ICommandBarViewEvents& events) {
    auto view = std::make_unique<FakeBarView>(*this, log_, static_cast<int>(views.size()), events);
    views.push_back(view.get());
    return view;
}

std::shared_ptr<IImageList> FakeBarViewFactory::LoadImageList() {
    return std::make_shared<FakeImageList>();
}

FakeSystem::FakeSystem()
    : platform{window, screen,  clock,    pointer, pump,    messageBox, files,
               shell,  process, barViews, startup, folders, entryFiles, entryShell} {}

std::unique_ptr<frmMain> FakeSystem::MakeForm() {
    // The form is made at the system's present scale.
    screen.appliedX = screen.twipsPerPixelX;
    screen.appliedY = screen.twipsPerPixelY;
    return std::make_unique<frmMain>(platform);
}

std::unique_ptr<frmMain> FakeSystem::StartedAt(const std::string& toolbar, const std::string& recall) {
    files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=" + toolbar + "\r\nPOINTER_POSITION=" + recall + "\r\n");
    return StartedForm();
}

bool FakeSystem::TickAt(frmMain& form, int x, int y) {
    pointer.x = x;
    pointer.y = y;
    form.Timer1_Timer();
    return form.BarShown;
}

std::unique_ptr<frmMain> FakeSystem::StartedForm() {
    // A new program's message queue starts empty: what an earlier form posted went with it.
    pump.pending.clear();
    auto form = MakeForm();
    form->LoadMainWindow();
    log.Clear();
    return form;
}

std::vector<std::string> CataloguePaths(const std::string& programFiles) {
    const char* relative[] = {
        "\\Internet Explorer\\iexplore.exe",
        "\\netscape\\netscape browser\\netscape.exe",
        "\\Mozilla Firefox\\firefox.exe",
        "\\opera\\opera.exe",
        "\\microsoft office\\office\\outlook.exe",
        "\\outlook express\\msimn.exe",
        "\\qualcomm\\eudora\\eudora.exe",
        "\\mozilla thunderbird\\thunderbird.exe",
        "\\filezilla\\filezilla.exe",
        "\\smartftp\\smartftp.exe",
        "\\coffeecup software\\coffeecup free ftp\\freeftp.exe",
        "\\skype\\phone\\skype.exe",
        "\\icqlite\\icqlite.exe",
        "\\messenger\\msmsgs.exe",
        "\\limewire\\limewire.exe",
        "\\morpheus\\morpheus.exe",
        "\\google\\google earth\\googleearth.exe",
        "\\OSS\\Internet Booster\\ispbos.exe",
        "\\tellme\\tellme.exe",
    };
    std::vector<std::string> out;
    for (const char* r : relative)
        out.push_back(programFiles + r);
    return out;
}

void FakeSystem::InstallAll(const std::string& programFiles) {
    for (const std::string& path : CataloguePaths(programFiles))
        files.Put(path);
}

}  // namespace nimbrel::test
