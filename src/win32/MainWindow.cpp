#include "win32/MainWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "win32/Units.h"

namespace nimbrel::win32 {
namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_TOOLWINDOW;
constexpr UINT kKeepZOrder = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
// Tells the window to run what Post queued.
constexpr UINT kRunPosted = WM_APP + 1;

// A window of this process. Null is not: Windows names no window when the one that takes activation belongs to
// another thread.
bool OfThisProgram(HWND window) {
    DWORD process = 0;
    return window != nullptr && ::GetWindowThreadProcessId(window, &process) != 0 && process == ::GetCurrentProcessId();
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, std::function<Dpi()> primaryDpi, std::function<int(HWND)> windowDpi)
    : instance_(instance),
      primaryDpi_(std::move(primaryDpi)),
      windowDpi_(std::move(windowDpi)),
      recallMessage_(::RegisterWindowMessageW(kRecallMessage)),
      exitMessage_(::RegisterWindowMessageW(kExitMessage)) {
    if (!Register(instance, kClassName, CS_HREDRAW | CS_VREDRAW,
                  reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)),
                  ::LoadIconW(instance, MAKEINTRESOURCEW(1))))
        return;
    // The core sizes and places the window before it shows it; until then it stays hidden.
    ::CreateWindowExW(kWindowExStyle, kClassName, kTitle, kWindowStyle, 0, 0, 300, 30, nullptr, nullptr, instance,
                      this);
    if (Handle() != nullptr)
        dpi_ = primaryDpi_();
}

void MainWindow::AddChild(IChildListener& child) {
    children_.push_back(&child);
}

void MainWindow::RemoveChild(IChildListener& child) {
    children_.erase(std::remove(children_.begin(), children_.end(), &child), children_.end());
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Registered messages have no fixed numbers (0 when registering failed, which no message is).
    if (message != 0 && message == recallMessage_) {
        OnRecallRequest();
        return 0;
    }
    if (message != 0 && message == exitMessage_) {
        OnExitRequest();
        return 0;
    }
    switch (message) {
        case WM_SIZE:
            OnSize(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_ERASEBKGND:
            if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
                return 1;
            break;
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            return 0;
        case WM_SETFOCUS:
            OnSetFocus();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE)
                OnDeactivate(reinterpret_cast<HWND>(lParam));
            break;
        case WM_ACTIVATEAPP:
            // The bar has one user-interface thread: another thread's window is another program's.
            if (wParam == FALSE)
                OnDeactivate(nullptr);
            break;
        case WM_DPICHANGED:
            // Neither the DPI nor the rectangle it suggests is taken: they are those of the monitor the window
            // stands on, while the bar is drawn for the primary's, and its place follows from its edge.
            OnDpiChanged();
            return 0;
        case WM_DISPLAYCHANGE:
            OnDisplayChanged();
            break;
        case WM_SETTINGCHANGE:
            OnSettingChanged(static_cast<UINT>(wParam));
            break;
        case kRunPosted:
            OnPosted();
            return 0;
        case kPutBackAfterError:
            OnHandlerFailed();
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            OnColoursChanged();
            break;
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession() ? TRUE : FALSE;
        case WM_ENDSESSION:
            OnEndSession(wParam != FALSE);
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

void MainWindow::OnSize(int width, int height) {
    for (IChildListener* child : ChildrenSnapshot())
        child->OnParentSize(width, height);
}

void MainWindow::OnCommand(int id, HWND control) {
    for (IChildListener* child : ChildrenSnapshot()) {
        if (child->OnParentCommand(id, control))
            return;
    }
}

LRESULT MainWindow::OnNotify(NMHDR& header) {
    for (IChildListener* child : ChildrenSnapshot()) {
        if (std::optional<LRESULT> result = child->OnParentNotify(header))
            return *result;
    }
    return 0;
}

void MainWindow::OnSetFocus() {
    if (focusTarget_ != nullptr && ::IsWindow(focusTarget_))
        ::SetFocus(focusTarget_);
}

void MainWindow::OnDeactivate(HWND next) {
    // The bar's own windows (the drop-down menus' owner, a message box) keep the keyboard with the bar.
    if (events_ != nullptr && !OfThisProgram(next))
        events_->OnDeactivated();
}

bool MainWindow::UpdateScale() {
    const Dpi dpi = primaryDpi_();
    if (dpi.x <= 0 || dpi.y <= 0 || dpi == dpi_)
        return false;
    dpi_ = dpi;
    for (IChildListener* child : ChildrenSnapshot())
        child->OnParentDpiChanged();
    return true;
}

void MainWindow::Post(std::function<void()> task) {
    posted_.push_back(std::move(task));
    if (Handle() != nullptr)
        ::PostMessageW(Handle(), kRunPosted, 0, 0);
}

void MainWindow::OnPosted() {
    // One message per task; a task that posts again runs at its own message.
    if (posted_.empty())
        return;
    std::function<void()> task = std::move(posted_.front());
    posted_.pop_front();
    task();
}

void MainWindow::OnHandlerFailed() {
    // A put-back that stopped an exception itself is not tried again at once, or the two would post each other for
    // ever.
    if (std::exchange(puttingBack_, true)) {
        puttingBack_ = false;
        return;
    }
    if (events_ != nullptr)
        events_->OnHandlerFailed();
    puttingBack_ = false;
}

bool MainWindow::StandsAtDisplayDpi() const {
    const int dpi = windowDpi_(Handle());
    return dpi <= 0 || dpi == dpi_.y;
}

void MainWindow::OnDpiChanged() {
    for (IChildListener* child : ChildrenSnapshot())
        child->OnParentWindowDpiChanged();
    if (events_ != nullptr)
        events_->OnScaleChanged();
}

void MainWindow::OnDisplayChanged() {
    if (events_ != nullptr)
        events_->OnDisplayChanged();
}

void MainWindow::OnSettingChanged(UINT setting) {
    if (events_ != nullptr) {
        if (setting == SPI_SETWORKAREA)
            events_->OnWorkAreaChanged();
        // Systems without per-monitor DPI change the primary display's scale without WM_DPICHANGED.
        events_->OnScaleChanged();
    }
    OnColoursChanged();
}

void MainWindow::OnColoursChanged() {
    for (IChildListener* child : ChildrenSnapshot())
        child->OnParentColoursChanged();
}

void MainWindow::OnContextMenu(HWND source, POINT at) {
    for (IChildListener* child : ChildrenSnapshot()) {
        if (child->OnParentContextMenu(source, at))
            return;
    }
}

bool MainWindow::OnEraseBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    for (IChildListener* child : ChildrenSnapshot()) {
        if (child->OnParentEraseBackground(dc, client))
            return true;
    }
    return false;
}

void MainWindow::OnTimer(UINT_PTR id) {
    if (timerSink_ != nullptr)
        timerSink_->OnTimer(id);
}

void MainWindow::OnClose() {
    // Only the Exit button ends the program: Alt+F4 and other programs' WM_CLOSE are refused.
}

bool MainWindow::OnQueryEndSession() {
    // Nothing is unsaved, so logging off or shutting down never waits for the bar.
    return true;
}

void MainWindow::OnEndSession(bool ending) {
    if (ending && events_ != nullptr)
        events_->OnEndRequested();
}

void MainWindow::OnRecallRequest() {
    if (events_ != nullptr)
        events_->OnRecallRequested();
}

void MainWindow::OnExitRequest() {
    if (events_ != nullptr)
        events_->OnEndRequested();
}

void MainWindow::OnDestroy() {
    ::PostQuitMessage(0);
}

RECT MainWindow::WindowRect() const {
    RECT rc{};
    if (Handle() != nullptr)
        ::GetWindowRect(Handle(), &rc);
    return rc;
}

void MainWindow::SetBounds(int x, int y, int width, int height, UINT flags) {
    if (Handle() != nullptr)
        ::SetWindowPos(Handle(), nullptr, x, y, width, height, flags | kKeepZOrder);
}

float MainWindow::Left() const {
    return PixelsToTwips(WindowRect().left, dpi_.x);
}

float MainWindow::Top() const {
    return PixelsToTwips(WindowRect().top, dpi_.y);
}

float MainWindow::Width() const {
    const RECT rc = WindowRect();
    return PixelsToTwips(rc.right - rc.left, dpi_.x);
}

float MainWindow::Height() const {
    const RECT rc = WindowRect();
    return PixelsToTwips(rc.bottom - rc.top, dpi_.y);
}

void MainWindow::SetLeft(float twips) {
    SetBounds(TwipsToPixels(twips, dpi_.x), WindowRect().top, 0, 0, SWP_NOSIZE);
}

void MainWindow::SetTop(float twips) {
    SetBounds(WindowRect().left, TwipsToPixels(twips, dpi_.y), 0, 0, SWP_NOSIZE);
}

void MainWindow::SetWidth(float twips) {
    const RECT rc = WindowRect();
    SetBounds(0, 0, std::max(0, TwipsToPixels(twips, dpi_.x)), rc.bottom - rc.top, SWP_NOMOVE);
}

void MainWindow::SetHeight(float twips) {
    const RECT rc = WindowRect();
    SetBounds(0, 0, rc.right - rc.left, std::max(0, TwipsToPixels(twips, dpi_.y)), SWP_NOMOVE);
}

void MainWindow::Move(float left, float top) {
    SetBounds(TwipsToPixels(left, dpi_.x), TwipsToPixels(top, dpi_.y), 0, 0, SWP_NOSIZE);
}

void MainWindow::SetVisible(bool visible) {
    if (Handle() != nullptr)
        ::ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetKeyPreview(bool on) {
    // The bar handles no keys of its own, so the flag is only kept.
    keyPreview_ = on;
}

bool MainWindow::SetZOrder(ZOrder order) {
    if (Handle() == nullptr)
        return false;
    HWND after = HWND_TOP;
    if (order == ZOrder::Topmost)
        after = HWND_TOPMOST;
    else if (order == ZOrder::NoTopmost)
        after = HWND_NOTOPMOST;
    // The z-order alone: releasing the topmost band must never activate the bar.
    return ::SetWindowPos(Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
}

bool MainWindow::Activate() {
    if (Handle() == nullptr)
        return false;
    ::SetActiveWindow(Handle());
    return ::GetActiveWindow() == Handle();
}

bool MainWindow::SetFocus() {
    if (Handle() == nullptr)
        return false;
    ::SetFocus(Handle());
    HWND focus = ::GetFocus();
    return focus == Handle() || (focus != nullptr && ::IsChild(Handle(), focus));
}

bool MainWindow::Refresh() {
    if (Handle() == nullptr)
        return false;
    return ::RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_INVALIDATE | RDW_ALLCHILDREN) != FALSE;
}

std::uintptr_t MainWindow::ForegroundWindow() const {
    HWND window = ::GetForegroundWindow();
    return window == nullptr || OfThisProgram(window) ? 0 : reinterpret_cast<std::uintptr_t>(window);
}

bool MainWindow::TakeForeground() {
    return Handle() != nullptr && ::SetForegroundWindow(Handle()) != FALSE;
}

bool MainWindow::HasForeground() const {
    return Handle() != nullptr && ::GetForegroundWindow() == Handle();
}

void MainWindow::LetOthersTakeForeground() {
    // Fails, harmlessly, when the bar does not hold the foreground itself.
    ::AllowSetForegroundWindow(ASFW_ANY);
}

void MainWindow::AcceptDrops(IDropHandler& handler) {
    if (Handle() == nullptr || drops_)
        return;
    drops_.emplace(Handle(), DropCallbacks{[&handler](int x, int y) { return handler.DropSpotAt(x, y); },
                                           [&handler](bool over) { handler.OnDragOver(over); },
                                           [&handler](const DroppedItems& items, const DropSpot& spot) {
                                               handler.OnDrop(items, spot);
                                           }});
}

bool MainWindow::GiveForeground(std::uintptr_t window) {
    HWND other = reinterpret_cast<HWND>(window);
    return ::IsWindow(other) && ::SetForegroundWindow(other) != FALSE;
}

}  // namespace nimbrel::win32
