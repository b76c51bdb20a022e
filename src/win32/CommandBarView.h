// The command-bar component's drawn side: a toolbar common control on the main window, sized and drawn for
// the DPI of the window's display, and popup menus for the drop-downs.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "win32/BarLooks.h"
#include "win32/Handles.h"
#include "win32/LinkIcons.h"
#include "win32/MainWindow.h"
#include "win32/MenuLoop.h"
#include "win32/Pictures.h"
#include "win32/PopupMenus.h"
#include "win32/ToolbarKeys.h"

namespace nimbrel::win32 {

class CommandBarView final : public ICommandBarView, private IChildListener, private IKeyedBar {
public:
    static constexpr const wchar_t* kToolbarName = L"Nimbrel";

    CommandBarView(MainWindow& window, MenuLoop& menuLoop, ICommandBarViewEvents& events, int controlId);
    CommandBarView(const CommandBarView&) = delete;
    CommandBarView& operator=(const CommandBarView&) = delete;
    ~CommandBarView() override;

    void SetAlignment(std::optional<Edge> side) override;
    void SetDockSide(Edge side) override;
    void SetHeight(float twips) override;
    void SetWidth(float twips) override;
    float Height() const override { return Kept(heightTwips_, false, alignment_ && Vertical(*alignment_)); }
    float Width() const override { return Kept(widthTwips_, true, alignment_ && !Vertical(*alignment_)); }
    void SetImageList(int slot, std::shared_ptr<IImageList> images) override;
    void SetStyle(std::int32_t style) override;
    void ShowButtons(const std::vector<ToolButtonView>& buttons) override;
    std::optional<std::string> KeyAt(int x, int y) const override;
    std::optional<std::size_t> TrackPopup(const std::vector<MenuItemView>& items, const PopupAnchor& anchor) override;

    HWND Toolbar() const { return toolbar_.get(); }
    // The size of the pictures the toolbar draws now.
    int PictureSize() const { return pictureSize_; }
    // The pictures of the user's own buttons, one for each button that has a picture.
    HIMAGELIST OwnPictures() const { return ownPictures_.get(); }

private:
    void OnParentSize(int clientWidth, int clientHeight) override;
    bool OnParentCommand(int id, HWND control) override;
    std::optional<LRESULT> OnParentNotify(NMHDR& header) override;
    bool OnParentEraseBackground(HDC dc, const RECT& client) override;
    void OnParentDpiChanged() override;
    void OnParentWindowDpiChanged() override;
    void OnParentColoursChanged() override;
    bool OnParentContextMenu(HWND source, POINT at) override;

    std::size_t ButtonCount() const override { return buttons_.size(); }
    bool Pressable(std::size_t position) const override;
    bool DropDown(std::size_t position) const override { return buttons_[position].dropDown; }
    Edge DockSide() const override { return dockSide_; }
    void Press(std::size_t position) override;
    bool KeysAccepted() const override { return events_.KeysAccepted(); }
    void Escape() override { events_.OnEscapePressed(); }

    bool Column() const { return Vertical(dockSide_); }
    float Kept(float twips, bool horizontal, bool stretched) const;
    int Dpi() const { return window_.DisplayDpi().y; }
    Pictures* Images() const;
    // Every rebuild is asked for here and runs from the message loop, never inside the handler that asked: the
    // toolbar may be the window that handler serves.
    void RequestRebuild();
    void PostRebuild();
    void RebuildIfFree();
    void Rebuild();
    void LookChanged();
    void CreateToolbar();
    void FillToolbar();
    void Layout();
    // The shell's pictures of the user's own buttons: blank at first, so that no paint waits for them, then each
    // as it is made.
    void MakeOwnPictures();
    void ShowOwnPictures();
    // Hides the user's own buttons that do not fit along the bar and shows the » button for them.
    void FitOwnButtons();
    RECT BandRect() const;
    // pressButton: the keys press the button themselves; a click leaves it as the toolbar draws it.
    void OpenDropDown(std::size_t position, bool pressButton);
    std::optional<std::size_t> ButtonOfCommand(int command) const;
    PopupAnchor AnchorOf(const RECT& buttonInToolbar) const;

    MainWindow& window_;
    MenuLoop& menuLoop_;
    ICommandBarViewEvents& events_;
    int controlId_;
    std::optional<Edge> alignment_;
    Edge dockSide_ = Edge::Top;
    float heightTwips_ = 0;
    float widthTwips_ = 0;
    ToolbarLook look_;
    std::shared_ptr<Pictures> images_[2];
    std::vector<ToolButtonView> buttons_;
    std::vector<std::wstring> names_;
    UniqueFont font_;
    UniqueWindow toolbar_;
    std::optional<ToolbarKeys> keys_;
    int pictureSize_ = 0;
    UniqueImageList ownPictures_;
    // The pictures made so far, in straight alpha; empty where none has come yet.
    std::vector<UniqueBitmap> ownStraight_;
    // The band's length the user's own buttons were last fitted into; -1 when the buttons or their sizes changed.
    long fittedLength_ = -1;
    // Declared after the toolbar and its pictures: it goes first, and no picture arrives after them.
    std::optional<LinkIcons> linkIcons_;
    PopupMenus menus_;
    // Lets a posted rebuild find out whether the view still exists.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool rebuildWanted_ = false;
    // Above 0 while a press of the toolbar runs: the command it starts may run a message loop of its own (the shell's,
    // COM's), in which a posted rebuild would pull the toolbar from under the control that sent the press.
    int dispatching_ = 0;

    class Dispatching {
    public:
        explicit Dispatching(CommandBarView& view) : view_(view) { ++view_.dispatching_; }
        Dispatching(const Dispatching&) = delete;
        Dispatching& operator=(const Dispatching&) = delete;
        ~Dispatching() {
            if (--view_.dispatching_ == 0 && view_.rebuildWanted_)
                view_.PostRebuild();
        }

    private:
        CommandBarView& view_;
    };
};

class BarViewFactory final : public IBarViewFactory {
public:
    BarViewFactory(MainWindow& window, MenuLoop& menuLoop, HINSTANCE resources)
        : window_(window), menuLoop_(menuLoop), resources_(resources) {}

    std::unique_ptr<ICommandBarView> CreateBarView(ICommandBarViewEvents& events) override;
    std::shared_ptr<IImageList> LoadImageList() override;

private:
    MainWindow& window_;
    MenuLoop& menuLoop_;
    HINSTANCE resources_;
    int nextControlId_ = 100;
};

// The font of the bar and its tips: Tahoma 8.25 pt regular at dpi, or the system's message font where Tahoma
// is missing.
UniqueFont CreateBarFont(int dpi);

}  // namespace nimbrel::win32
