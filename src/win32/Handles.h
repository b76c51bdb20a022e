// Owning wrappers for the Win32 handles that the edge holds. Each closes its handle exactly once and cannot be copied.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <type_traits>

namespace nimbrel::win32 {

template <auto Close>
struct HandleDeleter {
    template <typename T>
    void operator()(T handle) const noexcept {
        Close(handle);
    }
};

template <typename Handle, auto Close>
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<Handle>, HandleDeleter<Close>>;

inline void CloseKernelHandle(HANDLE handle) noexcept {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

// A kernel object handle; INVALID_HANDLE_VALUE is stored as empty.
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    KernelHandle(KernelHandle&& other) noexcept : handle_(other.release()) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    ~KernelHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset(HANDLE handle = nullptr) {
        CloseKernelHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

private:
    HANDLE handle_ = nullptr;
};

using UniqueBitmap = UniqueHandle<HBITMAP, ::DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, ::DeleteObject>;
using UniqueMenu = UniqueHandle<HMENU, ::DestroyMenu>;
using UniqueWindow = UniqueHandle<HWND, ::DestroyWindow>;
using UniqueImageList = UniqueHandle<HIMAGELIST, ::ImageList_Destroy>;
using UniqueIdList = UniqueHandle<LPITEMIDLIST, ::CoTaskMemFree>;
using UniqueMemoryDc = UniqueHandle<HDC, ::DeleteDC>;

// A device context obtained with GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr)
            ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context for the lifetime of this guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ != nullptr && old_ != HGDI_ERROR)
            ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace nimbrel::win32
