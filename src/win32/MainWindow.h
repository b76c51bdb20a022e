// The launcher's one top-level window: a thin-bordered tool window that the core places in twips.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "win32/Dpi.h"
#include "win32/DropTarget.h"
#include "win32/WindowClass.h"

namespace nimbrel::win32 {

// A control hosted on the main window; it hears the messages that Windows sends to its parent.
class IChildListener {
public:
    virtual ~IChildListener() = default;
    virtual void OnParentSize(int clientWidth, int clientHeight) = 0;
    // Each returns whether the message was this child's.
    virtual bool OnParentCommand(int id, HWND control) = 0;
    virtual std::optional<LRESULT> OnParentNotify(NMHDR& header) = 0;
    // Paints the parent's background when the child's look asks for its own; false leaves it to the system.
    virtual bool OnParentEraseBackground(HDC dc, const RECT& client) = 0;
    // The primary display has a new DPI (DisplayDpi() already tells it).
    virtual void OnParentDpiChanged() = 0;
    // The window itself has another DPI now: it moved next to another monitor, or back.
    virtual void OnParentWindowDpiChanged() = 0;
    // System colours, the visual style or high contrast may have changed.
    virtual void OnParentColoursChanged() = 0;
    // WM_CONTEXTMENU from the parent or one of its children: at a point of the screen, or (-1, -1) from the keyboard.
    // Returns whether it was this child's.
    virtual bool OnParentContextMenu(HWND source, POINT at) = 0;
};

// Receives WM_TIMER of the main window.
class ITimerSink {
public:
    virtual ~ITimerSink() = default;
    virtual void OnTimer(UINT_PTR id) = 0;
};

class MainWindow final : public IMainWindow, public WindowProc<MainWindow> {
public:
    static constexpr const wchar_t* kClassName = L"NimbrelMainWindow";
    static constexpr const wchar_t* kTitle = L"Nimbrel";
    // Registered window messages that other programs send to the bar's window. The installer and the uninstaller
    // (packaging/nimbrel.nsi) end the bar that runs from the install folder with kExitMessage, followed by WM_CLOSE
    // for 1.0.0, which ends on that; this window refuses WM_CLOSE.
    static constexpr const wchar_t* kRecallMessage = L"Nimbrel.Recall";
    static constexpr const wchar_t* kExitMessage = L"Nimbrel.Exit";

    // Creates the window hidden; Handle() is null when that failed. primaryDpi reads the primary display's DPI,
    // windowDpi the one Windows gives the window.
    explicit MainWindow(HINSTANCE instance,
                        std::function<Dpi()> primaryDpi = PrimaryDpi,
                        std::function<int(HWND)> windowDpi = WindowDpi);

    HINSTANCE Instance() const { return instance_; }
    bool KeyPreview() const { return keyPreview_; }

    void AddChild(IChildListener& child);
    void RemoveChild(IChildListener& child);
    void SetTimerSink(ITimerSink* sink) { timerSink_ = sink; }
    // The child that takes the keyboard focus whenever the window gets it.
    void SetFocusTarget(HWND child) { focusTarget_ = child; }
    // Receives what the system and other programs tell the bar through this window.
    void SetEvents(IWindowEvents* events) { events_ = events; }

    // The primary display's DPI, which the window and its children are drawn and measured for, wherever the
    // window stands; every twips conversion of the window uses it.
    const Dpi& DisplayDpi() const { return dpi_; }
    // Reads the primary display's DPI again; when it changed, the children follow it and the result is true.
    bool UpdateScale();
    // Whether Windows gives the window the DPI it is drawn for, which a window parked nearest another monitor of
    // another scale has not: what the system measures for it then (its theme's parts) is of the wrong size.
    bool StandsAtDisplayDpi() const;
    // Runs task from the message queue, after the message being handled now.
    void Post(std::function<void()> task);

    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    void Move(float left, float top) override;
    void SetVisible(bool visible) override;
    void SetKeyPreview(bool on) override;
    bool SetZOrder(ZOrder order) override;
    bool Activate() override;
    bool SetFocus() override;
    bool Refresh() override;
    std::uintptr_t ForegroundWindow() const override;
    bool TakeForeground() override;
    bool HasForeground() const override;
    bool GiveForeground(std::uintptr_t window) override;
    void LetOthersTakeForeground() override;
    void AcceptDrops(IDropHandler& handler) override;

private:
    friend class WindowProc<MainWindow>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnSize(int width, int height);
    void OnCommand(int id, HWND control);
    LRESULT OnNotify(NMHDR& header);
    bool OnEraseBackground(HDC dc);
    void OnSetFocus();
    void OnDeactivate(HWND next);
    void OnDpiChanged();
    void OnDisplayChanged();
    void OnSettingChanged(UINT setting);
    void OnColoursChanged();
    void OnContextMenu(HWND source, POINT at);
    void OnPosted();
    void OnHandlerFailed();
    void OnTimer(UINT_PTR id);
    void OnClose();
    bool OnQueryEndSession();
    void OnEndSession(bool ending);
    void OnRecallRequest();
    void OnExitRequest();
    void OnDestroy();

    RECT WindowRect() const;
    void SetBounds(int x, int y, int width, int height, UINT flags);
    std::vector<IChildListener*> ChildrenSnapshot() const { return children_; }

    HINSTANCE instance_;
    bool keyPreview_ = false;
    std::function<Dpi()> primaryDpi_;
    std::function<int(HWND)> windowDpi_;
    bool puttingBack_ = false;
    Dpi dpi_;
    std::vector<IChildListener*> children_;
    ITimerSink* timerSink_ = nullptr;
    HWND focusTarget_ = nullptr;
    IWindowEvents* events_ = nullptr;
    std::deque<std::function<void()>> posted_;
    std::optional<DropRegistration> drops_;
    UINT recallMessage_;
    UINT exitMessage_;
};

}  // namespace nimbrel::win32
