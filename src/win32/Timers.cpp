#include "win32/Timers.h"

namespace nimbrel::win32 {

class TimerFactory::Timer final : public ITimer {
public:
    Timer(TimerFactory& factory, UINT_PTR id, std::function<void()> onTick, bool enabled, unsigned interval)
        : factory_(&factory), id_(id), onTick_(std::move(onTick)), enabled_(enabled), interval_(interval) {
        factory_->timers_[id_] = this;
        Apply();
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() override {
        if (factory_ == nullptr)
            return;
        if (HWND hwnd = factory_->window_.Handle())
            ::KillTimer(hwnd, id_);
        factory_->timers_.erase(id_);
    }

    void SetInterval(unsigned milliseconds) override {
        interval_ = milliseconds;
        Apply();
    }
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        Apply();
    }
    unsigned Interval() const override { return interval_; }
    bool Enabled() const override { return enabled_; }

    void Tick() {
        if (onTick_)
            onTick_();
    }
    // The factory went first; the timer can no longer tick.
    void Detach() { factory_ = nullptr; }

private:
    // SetTimer on a running id restarts its countdown; an interval of 0 means no timer at all.
    void Apply() {
        if (factory_ == nullptr)
            return;
        HWND hwnd = factory_->window_.Handle();
        if (hwnd == nullptr)
            return;
        if (enabled_ && interval_ > 0)
            ::SetTimer(hwnd, id_, interval_, nullptr);
        else
            ::KillTimer(hwnd, id_);
    }

    TimerFactory* factory_;
    UINT_PTR id_;
    std::function<void()> onTick_;
    bool enabled_;
    unsigned interval_;
};

TimerFactory::TimerFactory(MainWindow& window) : window_(window) {
    window_.SetTimerSink(this);
}

TimerFactory::~TimerFactory() {
    window_.SetTimerSink(nullptr);
    for (auto& [id, timer] : timers_) {
        if (HWND hwnd = window_.Handle())
            ::KillTimer(hwnd, id);
        timer->Detach();
    }
}

std::unique_ptr<ITimer> TimerFactory::CreateTimer(std::function<void()> onTick, bool enabled, unsigned interval) {
    return std::make_unique<Timer>(*this, nextId_++, std::move(onTick), enabled, interval);
}

void TimerFactory::OnTimer(UINT_PTR id) {
    const auto it = timers_.find(id);
    if (it != timers_.end())
        it->second->Tick();
}

}  // namespace nimbrel::win32
