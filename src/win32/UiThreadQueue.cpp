#include "win32/UiThreadQueue.h"

#include <utility>

namespace nimbrel::win32 {
namespace {

constexpr const wchar_t* kClassName = L"NimbrelUiThreadQueue";
constexpr UINT kRun = WM_APP + 1;
constexpr UINT_PTR kIdleTimer = 1;

}  // namespace

UiThreadQueue::UiThreadQueue() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (Register(instance, kClassName))
        ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

UiThreadQueue::~UiThreadQueue() = default;

void UiThreadQueue::Post(std::function<void()> task) {
    if (!Ready())
        return;
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    // One message per task, so that a nested message loop runs them as it runs everything else.
    ::PostMessageW(Handle(), kRun, 0, 0);
}

void UiThreadQueue::PostWhenIdle(std::function<void()> task) {
    if (!Ready())
        return;
    idleTasks_.push_back(std::move(task));
    ::SetTimer(Handle(), kIdleTimer, USER_TIMER_MINIMUM, nullptr);
}

LRESULT UiThreadQueue::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRun) {
        OnRun();
        return 0;
    }
    if (message == WM_TIMER && wParam == kIdleTimer) {
        ::KillTimer(Handle(), kIdleTimer);
        std::vector<std::function<void()>> tasks;
        tasks.swap(idleTasks_);
        for (const std::function<void()>& task : tasks)
            task();
        return 0;
    }
    return Default(message, wParam, lParam);
}

void UiThreadQueue::OnRun() {
    std::function<void()> task;
    {
        const std::lock_guard lock(mutex_);
        if (tasks_.empty())
            return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
}

}  // namespace nimbrel::win32
