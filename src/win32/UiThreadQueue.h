// Work that other threads hand to the thread that made this queue, run from that thread's message loop.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "win32/WindowClass.h"

namespace nimbrel::win32 {

// Its message-only window lives on the thread that made it; Post may be called from any thread as long as the queue
// lives. Tasks still waiting when it goes are dropped.
class UiThreadQueue final : public WindowProc<UiThreadQueue> {
public:
    UiThreadQueue();
    ~UiThreadQueue();

    // False when the window could not be made: Post then drops every task.
    bool Ready() const { return Handle() != nullptr; }
    void Post(std::function<void()> task);
    // On the queue's own thread only: runs task once the thread has no other message waiting, its windows' paints
    // included (a timer's message is the last that GetMessage takes).
    void PostWhenIdle(std::function<void()> task);

private:
    friend class WindowProc<UiThreadQueue>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnRun();

    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::function<void()>> idleTasks_;
};

}  // namespace nimbrel::win32
