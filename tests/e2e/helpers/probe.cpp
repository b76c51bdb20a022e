// Reads the running bar's own controls for the end-to-end tests, from outside its process.
//
//   probe toolbar [PID]   the window titled "Nimbrel" and every button of its toolbar, in screen pixels
//   probe menu            every open popup menu with its items (read by menuprobe.dll inside the owner)
//   probe run COMMANDLINE starts COMMANDLINE exactly as given (application name left to the system)
//   probe focus           the classes of the bar thread's focus and active windows
//   probe tips            every tool-tip window of the bar's process that is on the screen, with its text
//   probe dpi N           tells the bar's window that its display now has N dots per inch (WM_DPICHANGED)
//   probe close           posts WM_CLOSE to the bar's window, as another program asking it to close would
//   probe endsession      sends what Windows sends at log-off: WM_QUERYENDSESSION, then WM_ENDSESSION
//   probe activate        makes the bar's window the foreground window, as Windows leaves a window that moved
//                         off the screen (Wine deactivates it when it unmaps it)
//
// Output is one record a line, fields separated by tabs, text fields last, UTF-8.
#include "lab_program.h"

#include <commctrl.h>

#include <vector>

namespace {

using lab::Emit;
using lab::Hex;
using lab::Num;
using lab::Rect;
using lab::UniqueHandle;

// Memory inside another process, for messages whose pointers the receiver dereferences.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    void* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
    LPARAM Param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_;
    void* address_;
};

// The bar's main window (of process pid, any when 0) and its toolbar.
struct MainSearch {
    HWND main = nullptr;
    HWND toolbar = nullptr;
};

MainSearch FindBar(DWORD pid) {
    for (HWND window : lab::TopWindows(
             [pid](HWND w) { return (pid == 0 || lab::ProcessOf(w) == pid) && lab::TitleOf(w) == L"Nimbrel"; })) {
        if (HWND toolbar = FindWindowExW(window, nullptr, TOOLBARCLASSNAMEW, nullptr)) {
            return {window, toolbar};
        }
    }
    return {};
}

// The tool-tip text of one toolbar button, asked from the toolbar's own tool-tip control.
std::wstring TipText(HWND toolbar, HWND tips, const RemoteBuffer& remote, int command) {
    if (tips == nullptr) {
        return {};
    }
    constexpr size_t kTextOffset = 1024;
    constexpr size_t kTextChars = 1024;
    const wchar_t empty[1] = {L'\0'};
    remote.Write(kTextOffset, empty, sizeof(empty));
    TTTOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = toolbar;
    info.uId = static_cast<UINT_PTR>(command);
    info.lpszText = static_cast<LPWSTR>(remote.At(kTextOffset));
    remote.Write(0, &info, sizeof(info));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tips, TTM_GETTEXTW, kTextChars, remote.Param(), SMTO_ABORTIFHUNG, 3000, &result);
    std::wstring text(kTextChars, L'\0');
    if (!remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t))) {
        return {};
    }
    text.resize(std::wcslen(text.c_str()));
    return text;
}

int ProbeToolbar(const MainSearch& search) {
    const DWORD owner = lab::ProcessOf(search.main);
    RECT window = {};
    GetWindowRect(search.main, &window);
    Emit(L"WINDOW\t" + Hex(search.main) + L"\t" + Num(owner) + L"\t" + Rect(window) + L"\t" +
         Num(IsWindowVisible(search.main) ? 1 : 0));

    UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner));
    if (!process) {
        Emit(L"ERROR\tOpenProcess failed");
        return 4;
    }
    RemoteBuffer remote(process.get(), 8192);
    if (!remote.Valid()) {
        Emit(L"ERROR\tVirtualAllocEx failed");
        return 4;
    }
    HWND toolbar = search.toolbar;
    const auto count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    const auto styles = GetWindowLongPtrW(toolbar, GWL_STYLE);
    RECT bar = {};
    GetWindowRect(toolbar, &bar);
    Emit(L"TOOLBAR\t" + Hex(toolbar) + L"\t" + Num(count) + L"\t" + Num((styles & CCS_VERT) ? 1 : 0) + L"\t" +
         Rect(bar));
    Emit(L"HOT\t" + Num(static_cast<long long>(SendMessageW(toolbar, TB_GETHOTITEM, 0, 0))));
    auto* tips = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        RECT item = {};
        if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), remote.Param()) ||
            !remote.Read(0, &button, sizeof(button))) {
            Emit(L"ERROR\tTB_GETBUTTON failed at " + Num(i));
            return 5;
        }
        if (SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), remote.Param()) &&
            remote.Read(0, &item, sizeof(item))) {
            MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&item), 2);
        } else {
            item = RECT{0, 0, 0, 0};
        }
        const std::wstring tip =
            (button.fsStyle & BTNS_SEP) ? std::wstring() : TipText(toolbar, tips, remote, button.idCommand);
        Emit(L"BUTTON\t" + Num(i) + L"\t" + Num(button.idCommand) + L"\t" + Num(button.fsState) + L"\t" +
             Num(button.fsStyle) + L"\t" + Rect(item) + L"\t" + tip);
    }
    return 0;
}

std::wstring FolderOfThisProgram() {
    const std::wstring path = lab::ModulePath(nullptr);
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::string ReadWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        data.append(chunk, got);
    }
    return data;
}

// Menu handles only mean something inside the process that made them, so the items are read by a
// small library loaded into the menu's owner; it writes its findings to a file beside itself.
int ProbeMenus() {
    const std::vector<HWND> menus = lab::OpenMenus(0);
    if (menus.empty()) {
        Emit(L"NOMENU");
        return 0;
    }
    const DWORD owner = lab::ProcessOf(menus.front());
    const std::wstring library = FolderOfThisProgram() + L"\\menuprobe.dll";
    const std::wstring output = library + L".out";
    DeleteFileW(output.c_str());

    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, owner));
    if (!process) {
        Emit(L"ERROR\tOpenProcess failed");
        return 4;
    }
    const size_t bytes = (library.size() + 1) * sizeof(wchar_t);
    RemoteBuffer remote(process.get(), bytes);
    if (!remote.Valid() || !remote.Write(0, library.c_str(), bytes)) {
        Emit(L"ERROR\tcannot write the library path into the menu's process");
        return 4;
    }
    auto* loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    UniqueHandle thread(CreateRemoteThread(process.get(), nullptr, 0, loadLibrary, remote.At(0), 0, nullptr));
    if (!thread) {
        Emit(L"ERROR\tCreateRemoteThread failed");
        return 4;
    }
    WaitForSingleObject(thread.get(), 10000);
    for (int waited = 0; waited < 10000; waited += 50) {
        if (GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES) {
            const std::string data = ReadWholeFile(output);
            std::fwrite(data.data(), 1, data.size(), stdout);
            std::fflush(stdout);
            DeleteFileW(output.c_str());
            return 0;
        }
        Sleep(50);
    }
    Emit(L"ERROR\tthe menu reader wrote nothing");
    return 6;
}

int Close(HWND bar) {
    Emit(L"CLOSE\t" + Num(PostMessageW(bar, WM_CLOSE, 0, 0) ? 1 : 0));
    return 0;
}

// QUERY gives the bar's answer; END says whether WM_ENDSESSION came back (0 when the bar ended inside it).
int EndSession(HWND bar) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(bar, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer)) {
        Emit(L"ERROR\tWM_QUERYENDSESSION got no answer");
        return 8;
    }
    Emit(L"QUERY\t" + Num(static_cast<long long>(answer)));
    DWORD_PTR ignored = 0;
    const LRESULT returned =
        SendMessageTimeoutW(bar, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
    Emit(L"END\t" + Num(returned != 0 ? 1 : 0));
    return 0;
}

int Run(const std::wstring& commandLine) {
    std::wstring buffer = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        Emit(L"ERROR\tCreateProcess failed " + Num(GetLastError()));
        return 7;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    WaitForSingleObject(process.get(), 10000);
    Emit(L"STARTED");
    return 0;
}

}  // namespace

int ProbeFocusAndTips(const MainSearch& search, bool tips) {
    if (!tips) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(search.main, nullptr), &info);
        Emit(L"FOCUS\t" + lab::ClassOf(info.hwndFocus) + L"\t" + Num(info.hwndFocus == search.toolbar ? 1 : 0) + L"\t" +
             lab::ClassOf(info.hwndActive) + L"\t" + Num(info.hwndActive == search.main ? 1 : 0));
        return 0;
    }
    const DWORD pid = lab::ProcessOf(search.main);
    const std::vector<HWND> found = lab::TopWindows(
        [pid](HWND w) { return lab::ProcessOf(w) == pid && IsWindowVisible(w) && lab::ClassOf(w) == TOOLTIPS_CLASSW; });
    for (HWND tip : found) {
        RECT r = {};
        GetWindowRect(tip, &r);
        Emit(L"TIP\t" + Rect(r) + L"\t" + lab::TitleOf(tip));
    }
    Emit(L"TIPS\t" + Num(static_cast<long long>(found.size())));
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"menu") {
        return ProbeMenus();
    }
    if (command == L"run" && argc > 2) {
        return Run(argv[2]);
    }
    const bool withArgument = command == L"dpi" && argc > 2;
    if (command != L"toolbar" && command != L"focus" && command != L"tips" && command != L"close" && !withArgument &&
        command != L"endsession" && command != L"activate") {
        Emit(
            L"usage: probe toolbar [PID] | menu | run COMMANDLINE | focus | tips | dpi N | close | endsession | "
            L"activate");
        return 2;
    }
    const MainSearch search =
        FindBar(command == L"toolbar" && argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 0);
    if (search.main == nullptr) {
        Emit(L"ERROR\tno window titled Nimbrel with a toolbar");
        return 3;
    }
    if (command == L"toolbar") {
        return ProbeToolbar(search);
    }
    if (command == L"focus" || command == L"tips") {
        return ProbeFocusAndTips(search, command == L"tips");
    }
    if (command == L"close") {
        return Close(search.main);
    }
    if (command == L"endsession") {
        return EndSession(search.main);
    }
    if (command == L"activate") {
        Emit(L"ACTIVATE\t" + Num(SetForegroundWindow(search.main) ? 1 : 0));
        return 0;
    }
    const auto dpi = static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10));
    // Posted, and without the suggested rectangle, which the bar does not use.
    Emit(PostMessageW(search.main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0) ? L"POSTED" : L"ERROR\tnot posted");
    return 0;
}
