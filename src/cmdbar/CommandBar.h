// The command-bar component's model: bars, buttons, their collections and the two events
// that the main window handles. Its drawing lives behind ICommandBarView.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace nimbrel {

class CommandBar;
class ButtonBar;

// Sets a flag for as long as it lives.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
    ~FlagScope() { flag_ = false; }

private:
    bool& flag_;
};

constexpr int kButtonStyleNormal = 0;
constexpr int kButtonStyleSeparator = 1;

// Caption of the single greyed entry of a drop-down whose items are all hidden.
inline constexpr const char* kNoProgramFound = "(no program found)";

class Button {
public:
    Button(CommandBar& owner,
           std::string key,
           int icon,
           std::string caption,
           int style,
           std::string toolTip,
           int shortcutKey,
           int shortcutShift);
    Button(const Button&) = delete;
    Button& operator=(const Button&) = delete;

    const std::string& Key() const { return key_; }
    int Icon() const { return icon_; }
    const std::string& Caption() const { return caption_; }
    int Style() const { return style_; }
    const std::string& ToolTip() const { return toolTip_; }
    int ShortcutKey() const { return shortcutKey_; }
    int ShortcutShift() const { return shortcutShift_; }

    bool DropDown() const { return dropDown_; }
    void SetDropDown(bool on);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // The bar shown as this button's drop-down.
    ButtonBar* Bar() const { return bar_; }
    void SetBar(ButtonBar* bar);

    ToolButtonView ToView() const;

private:
    CommandBar& owner_;
    std::string key_;
    int icon_;
    std::string caption_;
    int style_;
    std::string toolTip_;
    int shortcutKey_;
    int shortcutShift_;
    bool dropDown_ = false;
    bool visible_ = true;
    ButtonBar* bar_ = nullptr;
};

class ButtonBar {
public:
    ButtonBar(std::string key, std::string title) : key_(std::move(key)), title_(std::move(title)) {}
    ButtonBar(const ButtonBar&) = delete;
    ButtonBar& operator=(const ButtonBar&) = delete;

    const std::string& Key() const { return key_; }
    const std::string& Title() const { return title_; }
    // The bar's button list, in display order.
    const std::vector<Button*>& Buttons() const { return buttons_; }
    void Append(Button& button) { buttons_.push_back(&button); }
    bool Contains(const Button& button) const;

private:
    std::string key_;
    std::string title_;
    std::vector<Button*> buttons_;
};

// Buttons keyed by exact, unique texts; positions from 1 follow creation order.
class ButtonCollection {
public:
    explicit ButtonCollection(CommandBar& owner) : owner_(owner) {}
    // Returns nullptr when the key is empty or already taken.
    Button* Add(const std::string& key,
                int icon,
                const std::string& caption,
                int style,
                const std::string& toolTip,
                int shortcutKey,
                int shortcutShift);
    Button* Item(const std::string& key) const;
    Button* Item(int position) const;
    int Count() const { return static_cast<int>(ordered_.size()); }

private:
    CommandBar& owner_;
    std::vector<std::unique_ptr<Button>> ordered_;
    std::map<std::string, Button*> byKey_;
};

class BarCollection {
public:
    // Returns nullptr when the key is empty or already taken.
    ButtonBar* Add(const std::string& key, const std::string& title);
    ButtonBar* Item(const std::string& key) const;
    int Count() const { return static_cast<int>(ordered_.size()); }

private:
    std::vector<std::unique_ptr<ButtonBar>> ordered_;
    std::map<std::string, ButtonBar*> byKey_;
};

// The two events of the component that the main window handles.
class ICommandBarHost {
public:
    virtual ~ICommandBarHost() = default;
    virtual void cmdBar_ButtonClick(std::int16_t index, Button& button) = 0;
    // The host fills slot with a new instance, or leaves it empty to refuse.
    virtual void cmdBar_RequestNewInstance(std::int16_t index, CommandBar*& slot) = 0;
    // Whether keys on the bar of element index may press its buttons now.
    virtual bool cmdBar_KeysAccepted(std::int16_t index) = 0;
    // Esc on the bar of element index.
    virtual void cmdBar_Escape(std::int16_t index) = 0;
    // A right-click, the context-menu key or Shift+F10 on the bar of element index; key is the button's there.
    virtual void cmdBar_ContextMenu(std::int16_t index, const std::string& key, const PopupAnchor& anchor) = 0;
    // A press of one of the host's own buttons (SetOwnButtons): a click, or the drop-down of one that has a menu.
    virtual void cmdBar_OwnButton(std::int16_t index, const std::string& key, const PopupAnchor* dropDown) = 0;
    // The » menu of the host's own buttons that did not fit on the bar.
    virtual void cmdBar_OwnOverflow(std::int16_t index,
                                    const std::vector<std::string>& keys,
                                    const PopupAnchor& anchor) = 0;
};

class CommandBar final : private ICommandBarViewEvents {
public:
    CommandBar(std::int16_t index, ICommandBarHost& host, IBarViewFactory& views);
    CommandBar(const CommandBar&) = delete;
    CommandBar& operator=(const CommandBar&) = delete;
    ~CommandBar() override;

    std::int16_t Index() const { return index_; }
    ButtonCollection& Buttons() { return buttons_; }
    BarCollection& Bars() { return bars_; }

    std::optional<Edge> Alignment() const { return alignment_; }
    void SetAlignment(std::optional<Edge> side);
    Edge DockSide() const { return dockSide_; }
    void SetDockSide(Edge side);
    float Height() const;
    void SetHeight(float twips);
    float Width() const;
    void SetWidth(float twips);
    std::int32_t Style() const { return style_; }
    void SetStyle(std::int32_t style);
    void SetImageList(int slot, std::shared_ptr<IImageList> images);
    const std::shared_ptr<IImageList>& ImageList(int slot) const;
    ButtonBar* MainBar() const { return mainBar_; }
    void SetMainBar(ButtonBar* bar);

    // The instance that shows this bar's drop-downs; asked for once, at the first drop-down.
    CommandBar* MenuHost() const { return menuHost_; }

    // Shows bar as a popup menu of its visible buttons and raises the click of the chosen one from this instance.
    void ShowDropDown(ButtonBar& bar, const PopupAnchor& anchor);
    // The key of the button at a point of the virtual screen (pixels); empty on the bar beside its buttons, nothing
    // off the bar.
    std::optional<std::string> KeyAt(int x, int y) const { return view_->KeyAt(x, y); }
    // Shows a menu of the host's own beside anchor and waits for the choice: its number, or nothing.
    std::optional<std::size_t> ShowMenu(const std::vector<MenuItemView>& items, const PopupAnchor& anchor);
    // True while ShowDropDown or ShowMenu waits for the choice.
    bool DropDownShowing() const { return dropDownShowing_; }

    // Called by a button whose look changed.
    void ButtonChanged(const Button& button);
    // Buttons of the host's own after the main bar's, known only by their keys: they never pass through the button
    // collection, its key rule or its hiding, and their presses go to the host as they are.
    void SetOwnButtons(std::vector<ToolButtonView> buttons);

    // The view's reports, public so that a test can press buttons as a user would.
    void PressButton(const std::string& key) { OnButtonPressed(key); }
    void PressDropDown(const std::string& key, const PopupAnchor& anchor) { OnDropDownPressed(key, anchor); }

private:
    void OnButtonPressed(const std::string& key) override;
    void OnDropDownPressed(const std::string& key, const PopupAnchor& anchor) override;
    bool KeysAccepted() const override { return host_.cmdBar_KeysAccepted(index_); }
    void OnEscapePressed() override { host_.cmdBar_Escape(index_); }
    void OnContextMenu(const std::string& key, const PopupAnchor& anchor) override {
        host_.cmdBar_ContextMenu(index_, key, anchor);
    }
    void OnOverflowPressed(const std::vector<std::string>& keys, const PopupAnchor& anchor) override {
        host_.cmdBar_OwnOverflow(index_, keys, anchor);
    }
    bool Own(const std::string& key) const;
    void RefreshMainBar();

    std::int16_t index_;
    ICommandBarHost& host_;
    ButtonCollection buttons_;
    BarCollection bars_;
    std::unique_ptr<ICommandBarView> view_;
    std::optional<Edge> alignment_;
    Edge dockSide_ = Edge::Top;
    std::int32_t style_ = 0;
    std::shared_ptr<IImageList> images_[2];
    ButtonBar* mainBar_ = nullptr;
    std::vector<ToolButtonView> ownButtons_;
    CommandBar* menuHost_ = nullptr;
    bool dropDownShowing_ = false;
};

}  // namespace nimbrel
