// The folders of the user's own entries through the wide-character file API: listing, Explorer's order of names, change
// notification, and starting an entry through the shell.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "win32/Handles.h"
#include "win32/UiThreadQueue.h"

namespace nimbrel::win32 {

// How long a watch gathers change notifications before it calls back once for all of them.
inline constexpr DWORD kChangeSettleMilliseconds = 150;

// Waits on its own thread for FindFirstChangeNotificationW on the folder (its whole tree, for entries added, renamed or
// removed) and on the folder's parent (the folder's own name), and calls onChange through queue.
class FolderWatch final : public IFolderWatch {
public:
    // queue must outlive the watch; onChange runs on queue's thread, which is also the one that destroys the watch.
    FolderWatch(std::wstring folder,
                UiThreadQueue& queue,
                std::function<void()> onChange,
                DWORD settleMilliseconds = kChangeSettleMilliseconds);
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch() override;

    // Whether the waiting thread runs.
    bool Running() const { return thread_.joinable(); }

private:
    // What the posted calls reach; the watch empties it when it goes, so a call still queued then does nothing.
    struct Target {
        std::function<void()> onChange;
        std::atomic<bool> queued{false};
    };
    void Wait() noexcept;
    void Announce();

    std::wstring folder_;
    UiThreadQueue& queue_;
    DWORD settle_;
    std::shared_ptr<Target> target_;
    KernelHandle stop_;
    std::thread thread_;
};

class Folders final : public IFolders {
public:
    // owner: the window that owns what the shell shows (may be null). Made on the thread of the message loop.
    explicit Folders(HWND owner) : owner_(owner) {}
    Folders(const Folders&) = delete;
    Folders& operator=(const Folders&) = delete;

    FolderListing List(const std::string& folder) override;
    int CompareNames(const std::string& a, const std::string& b) override;
    // Every watch must go before this object.
    std::unique_ptr<IFolderWatch> Watch(const std::string& folder, std::function<void()> onChange) override;
    bool OpenEntry(const std::string& path) override;
    bool ExploreFolder(const std::string& path) override;

private:
    HWND owner_;
    UiThreadQueue queue_;
};

}  // namespace nimbrel::win32
