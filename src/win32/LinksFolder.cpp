#include "win32/LinksFolder.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <utility>

#include "win32/Shell.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

constexpr DWORD kNotifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
// How often a watch whose folder and parent both cannot be watched tries again.
constexpr DWORD kRetryMilliseconds = 1000;

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_DRIVE;
}

std::wstring Pattern(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\')
        folder.push_back(L'\\');
    folder.push_back(L'*');
    return folder;
}

// A change notification handle, closed with FindCloseChangeNotification.
class ChangeHandle {
public:
    ChangeHandle() = default;
    ChangeHandle(const ChangeHandle&) = delete;
    ChangeHandle& operator=(const ChangeHandle&) = delete;
    ~ChangeHandle() { Close(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Open(const std::wstring& folder, bool subtree) {
        Close();
        if (folder.empty())
            return;
        const HANDLE handle = ::FindFirstChangeNotificationW(folder.c_str(), subtree ? TRUE : FALSE, kNotifyFilter);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    // Waits for the next change; false when the folder can no longer be watched (it went), which closes the handle.
    bool Rearm() {
        if (handle_ != nullptr && ::FindNextChangeNotification(handle_))
            return true;
        Close();
        return false;
    }
    void Close() {
        if (handle_ != nullptr)
            ::FindCloseChangeNotification(std::exchange(handle_, nullptr));
    }

private:
    HANDLE handle_ = nullptr;
};

bool Execute(HWND owner, const std::wstring& path, const std::wstring& directory) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // Without SEE_MASK_FLAG_NO_UI: a failure shows the shell's own message.
    info.fMask = SEE_MASK_FLAG_LOG_USAGE;
    info.hwnd = owner;
    info.lpFile = path.c_str();
    // As a double-click in Explorer: the entry's folder is the working folder unless a shortcut names its own.
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

}  // namespace

FolderWatch::FolderWatch(std::wstring folder,
                         UiThreadQueue& queue,
                         std::function<void()> onChange,
                         DWORD settleMilliseconds)
    : folder_(std::move(folder)),
      queue_(queue),
      settle_(settleMilliseconds),
      target_(std::make_shared<Target>()),
      stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    target_->onChange = std::move(onChange);
    if (!stop_)
        return;
    try {
        thread_ = std::thread([this] { Wait(); });
    } catch (...) {
        // No thread: the watch stays silent, as one on a folder that cannot be watched.
    }
}

FolderWatch::~FolderWatch() {
    target_->onChange = nullptr;
    if (thread_.joinable()) {
        ::SetEvent(stop_.get());
        thread_.join();
    }
}

void FolderWatch::Announce() {
    // One call waits in the queue at most, however long the message loop is busy.
    if (target_->queued.exchange(true))
        return;
    queue_.Post([target = target_] {
        target->queued = false;
        // A copy: the call may end the watch, which empties the target.
        const std::function<void()> onChange = target->onChange;
        if (onChange)
            onChange();
    });
}

void FolderWatch::Wait() noexcept {
    try {
        const std::wstring parent = FolderOf(folder_);
        ChangeHandle parentChanges;
        ChangeHandle folderChanges;
        parentChanges.Open(parent, false);
        folderChanges.Open(folder_, true);
        bool pending = false;
        DWORD pendingSince = 0;
        for (;;) {
            HANDLE handles[3] = {stop_.get(), nullptr, nullptr};
            DWORD count = 1;
            DWORD parentIndex = MAXDWORD;
            DWORD folderIndex = MAXDWORD;
            if (parentChanges) {
                parentIndex = count;
                handles[count++] = parentChanges.get();
            }
            if (folderChanges) {
                folderIndex = count;
                handles[count++] = folderChanges.get();
            }
            DWORD timeout = INFINITE;
            if (pending) {
                const DWORD waited = ::GetTickCount() - pendingSince;
                timeout = waited >= settle_ ? 0 : settle_ - waited;
            }
            // Nothing tells of the folder's coming: look for it now and then.
            if (!parentChanges && !folderChanges && timeout > kRetryMilliseconds)
                timeout = kRetryMilliseconds;
            const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, timeout);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                return;
            if (woken == WAIT_TIMEOUT) {
                if (pending && ::GetTickCount() - pendingSince >= settle_) {
                    pending = false;
                    Announce();
                }
                if (!parentChanges && !folderChanges) {
                    parentChanges.Open(parent, false);
                    folderChanges.Open(folder_, true);
                    if (folderChanges) {
                        pending = true;
                        pendingSince = ::GetTickCount();
                    }
                }
                continue;
            }
            const DWORD index = woken - WAIT_OBJECT_0;
            if (index == parentIndex) {
                if (!parentChanges.Rearm())
                    parentChanges.Open(parent, false);
                // The folder itself may have come, gone or been renamed: the handle follows the old one.
                folderChanges.Open(folder_, true);
            } else if (index == folderIndex && !folderChanges.Rearm()) {
                folderChanges.Open(folder_, true);
            }
            if (!pending) {
                pending = true;
                pendingSince = ::GetTickCount();
            }
        }
    } catch (...) {
        // The watch falls silent rather than ending the program.
    }
}

FolderListing Folders::List(const std::string& folder) {
    FolderListing listing;
    const std::wstring wide = Utf8ToWide(folder);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        listing.status = IsMissing(::GetLastError()) ? FolderStatus::Missing : FolderStatus::Unreadable;
        return listing;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        listing.status = FolderStatus::NotAFolder;
        return listing;
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(Pattern(wide).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A drive's root has no "." or "..": an empty one finds nothing at all.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            listing.status = FolderStatus::Ok;
        else
            listing.status = IsMissing(error) ? FolderStatus::Missing : FolderStatus::Unreadable;
        return listing;
    }
    listing.status = FolderStatus::Ok;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
            continue;
        listing.entries.push_back({WideToUtf8(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return listing;
}

int Folders::CompareNames(const std::string& a, const std::string& b) {
    return ::StrCmpLogicalW(Utf8ToWide(a).c_str(), Utf8ToWide(b).c_str());
}

std::unique_ptr<IFolderWatch> Folders::Watch(const std::string& folder, std::function<void()> onChange) {
    return std::make_unique<FolderWatch>(Utf8ToWide(folder), queue_, std::move(onChange));
}

bool Folders::OpenEntry(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    return Execute(owner_, wide, FolderOf(wide));
}

bool Folders::ExploreFolder(const std::string& path) {
    // A folder's default verb opens it in Explorer; "explore" would add the folder tree, and not every system has it.
    return Execute(owner_, Utf8ToWide(path), {});
}

}  // namespace nimbrel::win32
