// Prints the buttons of the toolbar inside a top-level window of another process, in screen pixels, so that a
// test can click them with xdotool:
//   tbrects.exe <exact window title>
// Output: one line "window <left> <top> <right> <bottom>", then one line per button:
//   "button <index> <command id> <style> <state> <left> <top> <right> <bottom>"
// The toolbar belongs to the other process, so TB_GETBUTTON and TB_GETITEMRECT write into memory allocated in
// that process, which is then read back.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Memory committed in another process, released with it.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    LPARAM At(size_t offset) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }
    template <typename T>
    bool Read(size_t offset, T& value) const {
        SIZE_T read = 0;
        return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, &value, sizeof value, &read) &&
               read == sizeof value;
    }

private:
    HANDLE process_;
    void* address_;
};

struct Search {
    std::wstring title;
    HWND window = nullptr;
    HWND toolbar = nullptr;
    LRESULT toolbarButtons = -1;
};

BOOL CALLBACK FindToolbar(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (std::wstring(name) == TOOLBARCLASSNAMEW) {
        const LRESULT count = SendMessageW(child, TB_BUTTONCOUNT, 0, 0);
        if (count > search->toolbarButtons) {
            search->toolbar = child;
            search->toolbarButtons = count;
        }
    }
    return TRUE;
}

BOOL CALLBACK FindWindowByTitle(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (search->title != text) {
        return TRUE;
    }
    search->window = window;
    EnumChildWindows(window, FindToolbar, param);
    return search->toolbar == nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: tbrects.exe <window title>\n", stderr);
        return 2;
    }
    Search search;
    search.title = argv[1];
    EnumWindows(FindWindowByTitle, reinterpret_cast<LPARAM>(&search));
    if (search.window == nullptr || search.toolbar == nullptr) {
        std::fputs("no such window with a toolbar\n", stderr);
        return 1;
    }
    RECT frame{};
    GetWindowRect(search.window, &frame);
    std::printf("window %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);

    DWORD processId = 0;
    GetWindowThreadProcessId(search.toolbar, &processId);
    UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        std::fputs("cannot open the window's process\n", stderr);
        return 1;
    }
    RemoteBuffer remote(process.get(), sizeof(TBBUTTON) + sizeof(RECT));
    if (!remote.Valid()) {
        std::fputs("cannot allocate memory in the window's process\n", stderr);
        return 1;
    }
    for (LRESULT i = 0; i < search.toolbarButtons; ++i) {
        TBBUTTON button{};
        RECT rect{};
        if (!SendMessageW(search.toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), remote.At(0)) ||
            !remote.Read(0, button)) {
            std::fputs("TB_GETBUTTON failed\n", stderr);
            return 1;
        }
        // Hidden buttons have no rectangle; they are listed with an empty one.
        if (SendMessageW(search.toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), remote.At(sizeof(TBBUTTON))) &&
            remote.Read(sizeof(TBBUTTON), rect)) {
            MapWindowPoints(search.toolbar, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        }
        std::printf("button %d %d %u %u %ld %ld %ld %ld\n", static_cast<int>(i), button.idCommand,
                    static_cast<unsigned>(button.fsStyle), static_cast<unsigned>(button.fsState), rect.left, rect.top,
                    rect.right, rect.bottom);
    }
    return 0;
}
