// The desktop as a Windows program sees it, and a user's hands on it, for the test lab (tests/lab/lab.py).
//
//   desktop monitors             every monitor (rcMonitor, rcWork, primary), SPI_GETWORKAREA, the screen metrics
//   desktop modes                the primary display's modes and its current one
//   desktop mode W H             switches the primary display to W x H (ChangeDisplaySettingsW)
//   desktop workarea L T R B     sets the work area and tells every window, as a taskbar does; then as monitors
//   desktop theme                whether a visual style is on, and its file, colour and size names
//   desktop keys [-d MS] KEY...  presses keys with SendInput: Right, Return, space, alt+F4, ctrl+shift+Tab, a, 7
//   desktop type TEXT            types the text's characters with SendInput, as a keyboard of any layout would
//   desktop drag FILE X Y        drags the file from here and lets it go at X, Y, as from Explorer (DoDragDrop)
//   desktop taskbar L T R B      a topmost window over that rectangle, as a taskbar is; runs until ended
//   desktop window TITLE [L T R B]  an ordinary window that takes the foreground; runs until it is closed
//   desktop focusevents          every EVENT_OBJECT_FOCUS of other programs, from an out-of-context WinEvent hook,
//                                as screen readers hear them; runs until ended
//   desktop link LNK TARGET [ARGS [ICON]]  writes a shell link to TARGET, with ARGS and the picture of the .ico
//                                file ICON, as Explorer makes one
//
// The two windows write down what they are told: SETTINGCHANGE, DISPLAYCHANGE, KEY, CHAR, ACTIVATE, CLOSE.
// Output is one record a line, fields separated by tabs, text fields last, UTF-8, flushed at once.
#include "lab_program.h"

#include <objbase.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <cwctype>
#include <set>
#include <vector>

namespace {

using lab::Emit;
using lab::Hex;
using lab::Num;
using lab::Rect;

int Number(const wchar_t* text) {
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

// --- what the desktop looks like ------------------------------------------------------------------------------

BOOL CALLBACK EmitMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFOEXW info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info)) {
        Emit(L"MONITOR\t" + Rect(info.rcMonitor) + L"\t" + Rect(info.rcWork) + L"\t" +
             Num((info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0) + L"\t" + info.szDevice);
    }
    return TRUE;
}

int Monitors(int, wchar_t**) {
    EnumDisplayMonitors(nullptr, nullptr, EmitMonitor, 0);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Emit(L"WORKAREA\t" + Rect(work));
    Emit(L"SCREEN\t" + Num(GetSystemMetrics(SM_CXSCREEN)) + L"\t" + Num(GetSystemMetrics(SM_CYSCREEN)));
    Emit(L"VIRTUAL\t" + Num(GetSystemMetrics(SM_XVIRTUALSCREEN)) + L"\t" + Num(GetSystemMetrics(SM_YVIRTUALSCREEN)) +
         L"\t" + Num(GetSystemMetrics(SM_CXVIRTUALSCREEN)) + L"\t" + Num(GetSystemMetrics(SM_CYVIRTUALSCREEN)) + L"\t" +
         Num(GetSystemMetrics(SM_CMONITORS)));
    return 0;
}

std::wstring Mode(const DEVMODEW& mode) {
    return Num(mode.dmPelsWidth) + L"\t" + Num(mode.dmPelsHeight) + L"\t" + Num(mode.dmBitsPerPel) + L"\t" +
           Num(mode.dmDisplayFrequency);
}

int Modes(int, wchar_t**) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    std::set<std::wstring> seen;
    for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
        if (const std::wstring line = L"MODE\t" + Mode(mode); seen.insert(line).second) {
            Emit(line);
        }
    }
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        Emit(L"ERROR\tno current display mode");
        return 3;
    }
    Emit(L"CURRENT\t" + Mode(mode));
    return 0;
}

int ChangeMode(int, wchar_t** argv) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = static_cast<DWORD>(Number(argv[2]));
    mode.dmPelsHeight = static_cast<DWORD>(Number(argv[3]));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsW(&mode, 0);
    Emit(L"CHANGED\t" + Num(result));
    return result == DISP_CHANGE_SUCCESSFUL ? 0 : 3;
}

int SetWorkArea(int argc, wchar_t** argv) {
    RECT area = {Number(argv[2]), Number(argv[3]), Number(argv[4]), Number(argv[5])};
    const BOOL done = SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, SPIF_SENDCHANGE);
    Emit(L"SET\t" + Num(done ? 1 : 0));
    // What this process reads afterwards; another process may read otherwise.
    return done ? Monitors(argc, argv) : 3;
}

int Theme(int, wchar_t**) {
    wchar_t file[MAX_PATH] = {};
    wchar_t colour[MAX_PATH] = {};
    wchar_t size[MAX_PATH] = {};
    if (FAILED(GetCurrentThemeName(file, MAX_PATH, colour, MAX_PATH, size, MAX_PATH))) {
        file[0] = colour[0] = size[0] = L'\0';
    }
    Emit(L"THEME\t" + Num(IsThemeActive() ? 1 : 0) + L"\t" + Num(IsAppThemed() ? 1 : 0) + L"\t" + file + L"\t" +
         colour + L"\t" + size);
    return 0;
}

// --- keys ------------------------------------------------------------------------------------------------------

struct Key {
    WORD vk = 0;
    bool extended = false;  // outside the main block: arrows, Home, End, ...
};

struct NamedKey {
    const wchar_t* name;
    Key key;
};

// Names as xdotool knows them, with a few aliases.
constexpr NamedKey kKeys[] = {
    {L"Return", {VK_RETURN}},       {L"Enter", {VK_RETURN}},
    {L"space", {VK_SPACE}},         {L"Escape", {VK_ESCAPE}},
    {L"Esc", {VK_ESCAPE}},          {L"Tab", {VK_TAB}},
    {L"BackSpace", {VK_BACK}},      {L"alt", {VK_MENU}},
    {L"ctrl", {VK_CONTROL}},        {L"shift", {VK_SHIFT}},
    {L"Right", {VK_RIGHT, true}},   {L"Left", {VK_LEFT, true}},
    {L"Up", {VK_UP, true}},         {L"Down", {VK_DOWN, true}},
    {L"Home", {VK_HOME, true}},     {L"End", {VK_END, true}},
    {L"Prior", {VK_PRIOR, true}},   {L"Next", {VK_NEXT, true}},
    {L"Insert", {VK_INSERT, true}}, {L"Delete", {VK_DELETE, true}},
    {L"Menu", {VK_APPS, true}},     {L"super", {VK_LWIN, true}},
};

// A table entry, F1 to F24, or a single letter or digit; vk 0 when the name is unknown.
Key KeyOf(const std::wstring& name) {
    for (const auto& named : kKeys) {
        if (_wcsicmp(named.name, name.c_str()) == 0) {
            return named.key;
        }
    }
    if (name.size() >= 2 && (name[0] == L'F' || name[0] == L'f') && std::iswdigit(name[1])) {
        const int number = Number(name.c_str() + 1);
        return {static_cast<WORD>(number >= 1 && number <= 24 ? VK_F1 + number - 1 : 0)};
    }
    if (name.size() == 1 && std::iswalnum(name[0])) {
        return {static_cast<WORD>(std::towupper(name[0]))};
    }
    return {};
}

INPUT KeyInput(Key key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (key.extended ? KEYEVENTF_EXTENDEDKEY : 0u);
    return input;
}

// One chord such as "alt+F4": the modifiers go down in order, the key is pressed, the modifiers come up.
int PressChord(const std::wstring& chord) {
    std::vector<Key> keys;
    size_t start = 0;
    while (start <= chord.size()) {
        const size_t plus = chord.find(L'+', start + 1);
        const std::wstring part = chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        const Key key = KeyOf(part);
        if (key.vk == 0) {
            Emit(L"ERROR\tunknown key\t" + part);
            return 5;
        }
        keys.push_back(key);
        if (plus == std::wstring::npos) {
            break;
        }
        start = plus + 1;
    }
    std::vector<INPUT> inputs;
    for (const Key& key : keys) {
        inputs.push_back(KeyInput(key, false));
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        inputs.push_back(KeyInput(*key, true));
    }
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Emit(L"SENT\t" + Num(sent) + L"\t" + chord);
    return sent == inputs.size() ? 0 : 4;
}

int Type(int, wchar_t** argv) {
    std::vector<INPUT> inputs;
    for (const wchar_t unit : std::wstring(argv[2])) {
        for (const bool up : {false, true}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0u);
            inputs.push_back(input);
        }
    }
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Emit(L"SENT\t" + Num(sent));
    return sent == inputs.size() ? 0 : 4;
}

int Keys(int argc, wchar_t** argv) {
    int delay = 150;
    int first = 2;
    if (argc > 3 && std::wstring(argv[2]) == L"-d") {
        delay = Number(argv[3]);
        first = 4;
    }
    for (int i = first; i < argc; ++i) {
        if (i > first) {
            Sleep(static_cast<DWORD>(delay));
        }
        if (const int failed = PressChord(argv[i])) {
            return failed;
        }
    }
    return 0;
}

// --- windows that write down what they are told ---------------------------------------------------------------

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SETTINGCHANGE: {
            const auto* area = reinterpret_cast<const wchar_t*>(lparam);
            Emit(L"SETTINGCHANGE\t" + Num(static_cast<long long>(wparam)) + L"\t" + (area ? area : L""));
            break;
        }
        case WM_DISPLAYCHANGE:
            Emit(L"DISPLAYCHANGE\t" + Num(static_cast<long long>(wparam)) + L"\t" + Num(LOWORD(lparam)) + L"\t" +
                 Num(HIWORD(lparam)));
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP: {
            const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
            const bool sys = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
            Emit(L"KEY\t" + std::wstring(up ? L"up" : L"down") + (sys ? L"\tsys\t" : L"\t\t") + Num(wparam));
            break;
        }
        case WM_CHAR:
            Emit(L"CHAR\t" + Num(static_cast<long long>(wparam)));
            break;
        case WM_ACTIVATE:
            Emit(L"ACTIVATE\t" + Num(LOWORD(wparam)));
            break;
        case WM_CLOSE:
            Emit(L"CLOSE");
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int RunWindow(DWORD exStyle, DWORD style, const wchar_t* title, const RECT& place) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Recorder;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DSHADOW + 1);
    windowClass.lpszClassName = L"NimbrelLabDesktop";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(exStyle, windowClass.lpszClassName, title, style, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        Emit(L"ERROR\tCreateWindowEx failed\t" + Num(GetLastError()));
        return 3;
    }
    const bool taskbar = (exStyle & WS_EX_TOPMOST) != 0;
    ShowWindow(window, taskbar ? SW_SHOWNOACTIVATE : SW_SHOW);
    if (!taskbar) {
        SetForegroundWindow(window);
    }
    RECT shown = {};
    GetWindowRect(window, &shown);
    Emit(L"WINDOW\t" + Hex(window) + L"\t" + Rect(shown));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int Taskbar(int, wchar_t** argv) {
    const RECT place = {Number(argv[2]), Number(argv[3]), Number(argv[4]), Number(argv[5])};
    return RunWindow(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP, L"Taskbar", place);
}

int Window(int argc, wchar_t** argv) {
    RECT place = {100, 100, 500, 400};
    if (argc > 6) {
        place = RECT{Number(argv[3]), Number(argv[4]), Number(argv[5]), Number(argv[6])};
    }
    return RunWindow(0, WS_OVERLAPPEDWINDOW, argc > 2 ? argv[2] : L"Lab", place);
}

// --- what screen readers hear -----------------------------------------------------------------------------------

void CALLBACK OnFocusEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    Emit(L"FOCUS\t" + Hex(window) + L"\t" + Num(object) + L"\t" + Num(child) + L"\t" + name);
}

int FocusEvents(int, wchar_t**) {
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocusEvent, 0, 0,
                                         WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (hook == nullptr) {
        Emit(L"ERROR\tSetWinEventHook failed\t" + Num(GetLastError()));
        return 3;
    }
    Emit(L"HOOKED");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    UnhookWinEvent(hook);
    return 0;
}

int Link(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result))
        result = link->SetPath(argv[3]);
    if (SUCCEEDED(result) && argc > 4)
        result = link->SetArguments(argv[4]);
    if (SUCCEEDED(result) && argc > 5)
        result = link->SetIconLocation(argv[5], 0);
    if (SUCCEEDED(result))
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result))
        result = file->Save(argv[2], TRUE);
    if (file != nullptr)
        file->Release();
    if (link != nullptr)
        link->Release();
    Emit(SUCCEEDED(result) ? L"LINK\t" + std::wstring(argv[2]) : L"ERROR\tlink\t" + Num(static_cast<int>(result)));
    return SUCCEEDED(result) ? 0 : 3;
}

// Lets go once the drag has had a few rounds at the pointer's place.
class LettingGo final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IDropSource ? static_cast<IDropSource*>(this) : nullptr;
        return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        return escape ? DRAGDROP_S_CANCEL : ++rounds_ > 20 ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int rounds_ = 0;
};

int Drag(int, wchar_t** argv) {
    OleInitialize(nullptr);
    PIDLIST_ABSOLUTE item = nullptr;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    IDataObject* data = nullptr;
    HRESULT result = SHParseDisplayName(argv[2], nullptr, &item, 0, nullptr);
    if (SUCCEEDED(result))
        result = SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child);
    if (SUCCEEDED(result))
        result = parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
    DWORD effect = DROPEFFECT_NONE;
    if (SUCCEEDED(result)) {
        SetCursorPos(Number(argv[3]), Number(argv[4]));
        LettingGo source;
        result = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
        data->Release();
    }
    if (parent != nullptr)
        parent->Release();
    CoTaskMemFree(item);
    Emit(L"DRAG\t" + Num(static_cast<int>(result)) + L"\t" + Num(static_cast<int>(effect)));
    return result == DRAGDROP_S_DROP ? 0 : 3;
}

struct Command {
    const wchar_t* name;
    int (*run)(int argc, wchar_t** argv);
    int arguments;  // at the least
};

constexpr Command kCommands[] = {
    {L"monitors", Monitors, 0},
    {L"modes", Modes, 0},
    {L"mode", ChangeMode, 2},
    {L"workarea", SetWorkArea, 4},
    {L"theme", Theme, 0},
    {L"keys", Keys, 0},
    {L"taskbar", Taskbar, 4},
    {L"window", Window, 0},
    {L"focusevents", FocusEvents, 0},
    {L"link", Link, 2},
    {L"type", Type, 1},
    {L"drag", Drag, 3},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (const auto& command : kCommands) {
        if (argc > 1 && std::wstring(argv[1]) == command.name) {
            if (argc < 2 + command.arguments) {
                Emit(L"ERROR\tmissing arguments for\t" + std::wstring(command.name));
                return 2;
            }
            return command.run(argc, argv);
        }
    }
    Emit(L"usage: desktop monitors | modes | mode W H | workarea L T R B | theme | keys [-d MS] KEY...");
    Emit(L"       desktop taskbar L T R B | window TITLE [L T R B] | focusevents | link LNK TARGET [ARGS]");
    return 2;
}
