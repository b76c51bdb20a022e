// The four looks of the style number:
//   0 Classic   raised 3-D buttons that sink while pressed, on the face colour.
//   1 Flat      flat buttons that light up under the pointer, on the face colour (the default look).
//   2 Gradient  flat buttons over a light blue gradient running across the bar.
//   3 Dark      flat buttons on a charcoal band, light drop-down arrows, a blue-grey frame under the pointer.
// Any other number looks like Flat. While Windows' high-contrast mode is on, every look but Classic draws as
// Flat does, with the system's colours.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <vector>

namespace nimbrel::win32 {

// In the order of the style numbers.
enum class BarLook { Classic, Flat, Gradient, Dark };
BarLook LookOfStyle(std::int32_t style);

// The look actually drawn: high contrast turns the colourful looks into Flat.
BarLook DrawnLook(BarLook look, bool highContrast);

bool HighContrastOn();

// The look of one toolbar: everything that decides how its band and its buttons are painted.
class ToolbarLook {
public:
    // Each returns whether the drawn look changed.
    bool SetStyle(std::int32_t style);
    bool SetHighContrast(bool on);

    // Gives toolbar the visual style of the drawn look.
    void Apply(HWND toolbar) const;
    // Reads from toolbar, filled and sized for dpi, which buttons carry the system's drop-down arrow and how wide
    // it is drawn.
    void Measure(HWND toolbar, int dpi);
    // Fills band, the bar's whole band in the coordinates of dc; the gradient runs across the bar. False when the
    // look leaves the band to the window's face colour.
    bool PaintBand(HDC dc, const RECT& band, bool vertical) const;
    // Answers the toolbar's NM_CUSTOMDRAW.
    LRESULT CustomDraw(NMTBCUSTOMDRAW& draw) const;

private:
    BarLook Drawn() const { return DrawnLook(LookOfStyle(style_), highContrast_); }

    std::int32_t style_ = 0;
    bool highContrast_ = false;
    int dpi_ = 96;
    int arrowWidth_ = 0;
    std::vector<DWORD_PTR> arrowed_;  // the commands of the buttons with an arrow
};

}  // namespace nimbrel::win32
