// The bar's window as an OLE drop target: files, folders, shortcuts and addresses dragged from Explorer or a browser,
// the effect answered while they are over the window, and the drop handed to the bar.
#pragma once

#include <windows.h>

#include <oleidl.h>
#include <shobjidl.h>

#include <functional>

#include "links/Drop.h"
#include "win32/Com.h"

namespace nimbrel::win32 {

// What the drop target asks the bar and tells it. Each may be empty.
struct DropCallbacks {
    // What lies at this point of the virtual screen, in pixels; nothing takes a drop without it.
    std::function<DropSpot(int x, int y)> spotAt;
    // Something droppable came over the window (true) or left it, let go or not (false).
    std::function<void(bool over)> onDragOver;
    // The items were let go on spot, where they do something. This runs inside the drop while the program the drag
    // comes from waits for it, so what takes long or asks the user belongs in a posted task.
    std::function<void(const DroppedItems& items, const DropSpot& spot)> onDrop;
};

// What a data object carries that the bar takes: the file-system paths of CF_HDROP or, failing that, of the shell's
// item list; failing both, an address ("UniformResourceLocatorW", "UniformResourceLocator" or "text/x-moz-url") with
// the title that "FileGroupDescriptorW", "FileGroupDescriptor" or "text/x-moz-url" gives it.
DroppedItems ReadDroppedItems(IDataObject* data);

// The effect a drop that does action shows, of those the source allows: copy for files, link for an address.
DWORD DropEffectFor(DropAction action, const DroppedItems& items, DWORD allowed);

class DropTarget final : public IDropTarget {
public:
    // window: where the shell draws the dragged picture (may be null).
    DropTarget(HWND window, DropCallbacks callbacks);
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
    ~DropTarget();
    DropSpot SpotAt(POINTL point) const;
    void EndDrag();

    LONG references_ = 1;
    HWND window_;
    DropCallbacks callbacks_;
    DroppedItems items_;
    bool over_ = false;
    // The shell's drawing of the dragged picture over the window; absent where the system has none.
    ComPtr<IDropTargetHelper> picture_;
};

// OLE on the calling (UI) thread and the window registered as a drop target, for the life of this object; the window
// is revoked and OLE left on destruction. Made once the window has painted, so that OLE's start costs the first
// paint nothing.
class DropRegistration {
public:
    DropRegistration(HWND window, DropCallbacks callbacks);
    DropRegistration(const DropRegistration&) = delete;
    DropRegistration& operator=(const DropRegistration&) = delete;
    ~DropRegistration();

    // S_OK once registered, else the failure of OleInitialize or RegisterDragDrop.
    HRESULT Result() const { return result_; }

private:
    HWND window_;
    bool oleStarted_ = false;
    HRESULT result_ = E_FAIL;
    ComPtr<DropTarget> target_;
};

}  // namespace nimbrel::win32
