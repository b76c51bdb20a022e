#include "win32/LinksFolder.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

#include "win32/Shell.h"
#include "win32/Strings.h"
#include "win32/WineQuirks.h"

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
    ChangeHandle(ChangeHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ChangeHandle& operator=(ChangeHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
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

// Handles on the folders directly in folder, as many as one wait takes beside the others.
std::vector<ChangeHandle> WatchFoldersIn(const std::wstring& folder, std::size_t room) {
    std::vector<ChangeHandle> handles;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(Pattern(folder).c_str(), FindExInfoBasic, &found,
                                             FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return handles;
    do {
        const std::wstring_view name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || name == L"." || name == L"..")
            continue;
        ChangeHandle handle;
        handle.Open(folder + L"\\" + found.cFileName, false);
        if (handle)
            handles.push_back(std::move(handle));
    } while (handles.size() < room && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return handles;
}

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
        const bool eachFolderToo = SubtreeWatchMissesFoldersAlreadyThere();
        ChangeHandle parentChanges;
        ChangeHandle folderChanges;
        std::vector<ChangeHandle> innerChanges;
        const auto watchFolder = [&] {
            folderChanges.Open(folder_, true);
            innerChanges.clear();
            if (eachFolderToo && folderChanges)
                innerChanges = WatchFoldersIn(folder_, MAXIMUM_WAIT_OBJECTS - 3);
        };
        parentChanges.Open(parent, false);
        watchFolder();
        bool pending = false;
        DWORD pendingSince = 0;
        const auto gather = [&] {
            if (!pending) {
                pending = true;
                pendingSince = ::GetTickCount();
            }
        };
        std::vector<HANDLE> handles;
        for (;;) {
            handles.assign(1, stop_.get());
            const DWORD parentIndex = parentChanges ? static_cast<DWORD>(handles.size()) : MAXDWORD;
            if (parentChanges)
                handles.push_back(parentChanges.get());
            const DWORD folderIndex = folderChanges ? static_cast<DWORD>(handles.size()) : MAXDWORD;
            if (folderChanges)
                handles.push_back(folderChanges.get());
            const auto innerIndex = static_cast<DWORD>(handles.size());
            for (const ChangeHandle& inner : innerChanges)
                handles.push_back(inner.get());

            DWORD timeout = INFINITE;
            if (pending) {
                const DWORD waited = ::GetTickCount() - pendingSince;
                timeout = waited >= settle_ ? 0 : settle_ - waited;
            }
            // Nothing tells of the folder's coming: look for it now and then.
            if (!parentChanges && !folderChanges && timeout > kRetryMilliseconds)
                timeout = kRetryMilliseconds;
            const DWORD woken =
                ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                return;
            if (woken == WAIT_TIMEOUT) {
                if (pending && ::GetTickCount() - pendingSince >= settle_) {
                    pending = false;
                    Announce();
                }
                if (!parentChanges && !folderChanges) {
                    parentChanges.Open(parent, false);
                    watchFolder();
                    if (folderChanges)
                        gather();
                }
                continue;
            }
            const DWORD index = woken - WAIT_OBJECT_0;
            if (index == parentIndex) {
                if (!parentChanges.Rearm())
                    parentChanges.Open(parent, false);
                // The folder itself may have come, gone or been renamed, and a handle follows the folder, not the name.
                watchFolder();
            } else if (index == folderIndex) {
                if (!folderChanges.Rearm() || eachFolderToo)
                    watchFolder();
            } else if (index >= innerIndex && index - innerIndex < innerChanges.size()) {
                // A folder that went is noticed by the folder's own handle too, which then watches the folders again.
                const auto inner = innerChanges.begin() + (index - innerIndex);
                if (!inner->Rearm())
                    innerChanges.erase(inner);
            }
            gather();
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
