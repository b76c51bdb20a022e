// The small desktop services of the seam: the primary screen, the pointer, the nested message pump and message boxes.
#pragma once

#include "platform/Platform.h"

namespace nimbrel::win32 {

class MainWindow;
class MenuLoop;

// The primary screen and the monitors around it, measured in the twips of the primary display's DPI.
class Screen final : public IScreen {
public:
    explicit Screen(MainWindow& window) : window_(window) {}
    float Width() const override;
    float Height() const override;
    float TwipsPerPixelX() const override;
    float TwipsPerPixelY() const override;
    TwipsRect WorkArea() const override;
    std::vector<Monitor> Monitors() const override;
    float AutoHideTaskbar(Edge edge) const override;
    bool UpdateScale() override;

private:
    MainWindow& window_;
};

class Pointer final : public IPointer {
public:
    bool GetCursorPos(std::int32_t& x, std::int32_t& y) override;
};

class MessagePump final : public IMessagePump {
public:
    MessagePump(MainWindow& window, const MenuLoop& menus) : window_(window), menus_(menus) {}
    void DoEvents() override;
    void Post(std::function<void()> task) override;

private:
    MainWindow& window_;
    const MenuLoop& menus_;
};

class MessageBoxes final : public IMessageBox {
public:
    int Show(const std::string& text, unsigned style, const std::string& title) override;
};

}  // namespace nimbrel::win32
