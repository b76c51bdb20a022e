#include "LinkSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "win32/Com.h"

namespace nimbrel::win32::test {
namespace {

// {00021401-0000-0000-C000-000000000046}: the shell's link object. Spelt here, as libuuid's copy would bring a second
// IID_IAccessible beside oleacc's.
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace

bool MakeShortcut(const std::wstring& path, const ShortcutFields& fields) {
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link.put_void())))
        return false;
    link->SetPath(fields.target.c_str());
    if (!fields.arguments.empty())
        link->SetArguments(fields.arguments.c_str());
    if (!fields.workingFolder.empty())
        link->SetWorkingDirectory(fields.workingFolder.c_str());
    link->SetShowCmd(fields.showCommand);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(__uuidof(IPersistFile), file.put_void())))
        return false;
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    MSG msg{};
    for (;;) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (::GetTickCount() - start >= milliseconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool PlaceRecorder(const std::wstring& path) {
    const std::wstring source = TestProgramFolder() + L"\\argv_recorder.exe";
    return ::CopyFileW(source.c_str(), path.c_str(), FALSE) != FALSE;
}

std::string WaitForRecorderReport(const std::wstring& recorder) {
    const std::wstring report = recorder + L".txt";
    std::string text;
    PumpUntil(
        [&] {
            if (::GetFileAttributesW(report.c_str()) == INVALID_FILE_ATTRIBUTES)
                return false;
            text = ReadRawFile(report);
            return true;
        },
        10000);
    return text;
}

}  // namespace nimbrel::win32::test
