// The dots per inch of the primary display, and lengths scaled for it. The program declares per-monitor
// awareness, so Windows does not stretch it: every pixel size is chosen here for the display.
#pragma once

#include <windows.h>

namespace nimbrel::win32 {

inline constexpr int kDefaultDpi = 96;

struct Dpi {
    int x = kDefaultDpi;
    int y = kDefaultDpi;
    friend bool operator==(const Dpi&, const Dpi&) = default;
};

// The primary monitor's DPI now, which the bar is drawn and measured for wherever its window stands: shcore's
// GetDpiForMonitor where the system has it (Windows 8.1 and later); elsewhere the system DPI of the screen's
// device context, which is then every display's.
Dpi PrimaryDpi();
Dpi SystemDpi();
// The DPI Windows gives the window now, that of the monitor it stands on or nearest to; 0 where the system does not
// tell (before Windows 10), where every window has the system's.
int WindowDpi(HWND window);

// A length given at 96 DPI, rounded to whole pixels at dpi.
int ScaleToDpi(int pixelsAt96, int dpi);

// The small-icon size (SM_CXSMICON) at dpi.
int SmallIconSize(int dpi);

// The system's message font, sized for dpi.
LOGFONTW MessageFont(int dpi);

}  // namespace nimbrel::win32
