#include "win32/Units.h"

#include <windows.h>

#include "win32/Handles.h"

namespace nimbrel::win32 {
namespace {

int ScreenCaps(int index) {
    WindowDc screen(nullptr);
    const int dpi = screen.get() != nullptr ? ::GetDeviceCaps(screen.get(), index) : 0;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

int ScreenDpiX() {
    return ScreenCaps(LOGPIXELSX);
}

int ScreenDpiY() {
    return ScreenCaps(LOGPIXELSY);
}

}  // namespace nimbrel::win32
