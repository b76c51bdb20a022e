// COM at the edge: the apartment of the program's one thread, and owning pointers to COM objects and strings.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <utility>

namespace nimbrel::win32 {

// The single-threaded apartment that the shell automation object and WIC need, for the life of this object.
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_)
            ::CoUninitialize();
    }

private:
    bool initialised_;
};

// One reference to a COM object, released once.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Lets a function hand out a new reference through its T** or void** parameter.
    T** put() {
        reset();
        return &object_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (T* object = std::exchange(object_, nullptr))
            object->Release();
    }

private:
    T* object_ = nullptr;
};

struct BstrFree {
    void operator()(BSTR text) const noexcept { ::SysFreeString(text); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrFree>;

}  // namespace nimbrel::win32
