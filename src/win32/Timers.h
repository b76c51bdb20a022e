// Window timers of the main window, one SetTimer id per timer object.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>

#include "platform/Platform.h"
#include "win32/MainWindow.h"

namespace nimbrel::win32 {

class TimerFactory final : public ITimerFactory, private ITimerSink {
public:
    explicit TimerFactory(MainWindow& window);
    TimerFactory(const TimerFactory&) = delete;
    TimerFactory& operator=(const TimerFactory&) = delete;
    ~TimerFactory() override;

    std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTick, bool enabled, unsigned interval) override;

private:
    class Timer;
    friend class Timer;

    void OnTimer(UINT_PTR id) override;

    MainWindow& window_;
    UINT_PTR nextId_ = 1;
    std::map<UINT_PTR, Timer*> timers_;
};

}  // namespace nimbrel::win32
