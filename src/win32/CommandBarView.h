// The command-bar component's drawn side: a toolbar common control on the main window, and popup menus
// for the drop-downs.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "win32/Handles.h"
#include "win32/ImageStrip.h"
#include "win32/MainWindow.h"

namespace nimbrel::win32 {

class BarViewFactory;

// The four looks of the style number:
//   0 Classic   raised 3-D buttons (a non-flat toolbar) on the system face colour.
//   1 Flat      flat buttons that light up under the pointer, on the system face colour (the default look).
//   2 Gradient  flat buttons over a light blue gradient band running across the bar.
//   3 Dark      flat buttons over a charcoal band, light captions, a blue-grey highlight under the pointer.
// Any other number looks like Flat.
enum class BarLook { Classic, Flat, Gradient, Dark };
BarLook LookOfStyle(std::int32_t style);

class CommandBarView final : public ICommandBarView, private IChildListener {
public:
    CommandBarView(MainWindow& window, BarViewFactory& factory, ICommandBarViewEvents& events, int controlId);
    CommandBarView(const CommandBarView&) = delete;
    CommandBarView& operator=(const CommandBarView&) = delete;
    ~CommandBarView() override;

    void SetAlignment(int alignment) override;
    void SetDockSide(int side) override;
    void SetHeight(float twips) override;
    void SetWidth(float twips) override;
    float Height() const override;
    float Width() const override;
    void SetImageList(int slot, std::shared_ptr<IImageList> images) override;
    void SetStyle(std::int32_t style) override;
    void ShowButtons(const std::vector<ToolButtonView>& buttons) override;
    std::optional<std::size_t> TrackPopup(const std::vector<MenuItemView>& items, const PopupAnchor& anchor) override;

    HWND Toolbar() const { return toolbar_.get(); }

private:
    void OnParentSize(int clientWidth, int clientHeight) override;
    bool OnParentCommand(int id, HWND control) override;
    std::optional<LRESULT> OnParentNotify(NMHDR& header) override;
    bool OnParentMeasureItem(MEASUREITEMSTRUCT& item) override;
    bool OnParentDrawItem(const DRAWITEMSTRUCT& item) override;
    bool OnParentEraseBackground(HDC dc, const RECT& client) override;

    static LRESULT CALLBACK MenuOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The hidden window that owns the popup menus. A menu owned by the main window closes when a
    // pointer-watch tick parks that window under it; this owner never moves.
    HWND MenuOwner();

    static LRESULT CALLBACK
    ToolbarSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    bool Vertical() const { return dockSide_ == 1 || dockSide_ == 2; }
    BarLook Look() const { return LookOfStyle(style_); }
    const ImageStrip* Images() const;
    void CreateToolbar();
    void FillToolbar();
    void Layout();
    void PaintBand(HDC dc, const RECT& rc) const;
    LRESULT OnCustomDraw(NMTBCUSTOMDRAW& draw) const;
    // Draws what the control itself cannot: raised edges for Classic, light drop-down arrows for Dark.
    void PaintOverlay(HWND toolbar) const;
    void PaintDarkHotButton(HDC dc, const RECT& rc, const ToolButtonView& button) const;
    std::optional<std::size_t> ButtonOfCommand(int command) const;
    PopupAnchor AnchorOf(const RECT& buttonInToolbar) const;

    MainWindow& window_;
    BarViewFactory& factory_;
    ICommandBarViewEvents& events_;
    int controlId_;
    int alignment_ = 0;
    int dockSide_ = 0;
    int heightPixels_ = 0;
    int widthPixels_ = 0;
    std::int32_t style_ = 0;
    std::shared_ptr<ImageStrip> images_[2];
    std::vector<ToolButtonView> buttons_;
    std::vector<std::wstring> captions_;
    std::vector<std::wstring> toolTips_;
    UniqueWindow toolbar_;
    UniqueWindow menuOwner_;
    bool shown_ = false;
    // The menu that TrackPopup has open, and the pictures that its entries draw.
    HMENU trackedMenu_ = nullptr;
    const ImageStrip* trackedImages_ = nullptr;
};

class BarViewFactory final : public IBarViewFactory {
public:
    BarViewFactory(MainWindow& window, HINSTANCE resources) : window_(window), resources_(resources) {}

    std::unique_ptr<ICommandBarView> CreateBarView(ICommandBarViewEvents& events) override;
    std::shared_ptr<IImageList> LoadImageList() override;

    // The pictures of the program, for an instance that was given none (the drop-down instance).
    std::shared_ptr<ImageStrip> ProgramImages() const { return programImages_.lock(); }

private:
    MainWindow& window_;
    HINSTANCE resources_;
    int nextControlId_ = 100;
    std::weak_ptr<ImageStrip> programImages_;
};

}  // namespace nimbrel::win32
