#include "cmdbar/CommandBar.h"

#include <algorithm>

namespace nimbrel {

Button::Button(CommandBar& owner,
               std::string key,
               int icon,
               std::string caption,
               int style,
               std::string toolTip,
               int shortcutKey,
               int shortcutShift)
    : owner_(owner),
      key_(std::move(key)),
      icon_(icon),
      caption_(std::move(caption)),
      style_(style),
      toolTip_(std::move(toolTip)),
      shortcutKey_(shortcutKey),
      shortcutShift_(shortcutShift) {}

void Button::SetDropDown(bool on) {
    dropDown_ = on;
    owner_.ButtonChanged(*this);
}

void Button::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    owner_.ButtonChanged(*this);
}

void Button::SetBar(ButtonBar* bar) {
    bar_ = bar;
}

ToolButtonView Button::ToView() const {
    ToolButtonView view;
    view.key = key_;
    view.icon = icon_;
    view.caption = caption_;
    view.toolTip = toolTip_;
    view.separator = style_ == kButtonStyleSeparator;
    view.dropDown = dropDown_;
    view.visible = visible_;
    return view;
}

bool ButtonBar::Contains(const Button& button) const {
    return std::find(buttons_.begin(), buttons_.end(), &button) != buttons_.end();
}

Button* ButtonCollection::Add(const std::string& key,
                              int icon,
                              const std::string& caption,
                              int style,
                              const std::string& toolTip,
                              int shortcutKey,
                              int shortcutShift) {
    if (key.empty() || byKey_.count(key) != 0)
        return nullptr;
    ordered_.push_back(
        std::make_unique<Button>(owner_, key, icon, caption, style, toolTip, shortcutKey, shortcutShift));
    Button* button = ordered_.back().get();
    byKey_.emplace(key, button);
    return button;
}

Button* ButtonCollection::Item(const std::string& key) const {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : it->second;
}

Button* ButtonCollection::Item(int position) const {
    if (position < 1 || position > Count())
        return nullptr;
    return ordered_[static_cast<std::size_t>(position - 1)].get();
}

ButtonBar* BarCollection::Add(const std::string& key, const std::string& title) {
    if (key.empty() || byKey_.count(key) != 0)
        return nullptr;
    ordered_.push_back(std::make_unique<ButtonBar>(key, title));
    ButtonBar* bar = ordered_.back().get();
    byKey_.emplace(key, bar);
    return bar;
}

ButtonBar* BarCollection::Item(const std::string& key) const {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : it->second;
}

CommandBar::CommandBar(std::int16_t index, ICommandBarHost& host, IBarViewFactory& views)
    : index_(index), host_(host), buttons_(*this), view_(views.CreateBarView(*this)) {}

CommandBar::~CommandBar() = default;

void CommandBar::SetAlignment(std::optional<Edge> side) {
    alignment_ = side;
    view_->SetAlignment(side);
}

void CommandBar::SetDockSide(Edge side) {
    dockSide_ = side;
    view_->SetDockSide(side);
}

float CommandBar::Height() const {
    return view_->Height();
}

void CommandBar::SetHeight(float twips) {
    view_->SetHeight(twips);
}

float CommandBar::Width() const {
    return view_->Width();
}

void CommandBar::SetWidth(float twips) {
    view_->SetWidth(twips);
}

void CommandBar::SetStyle(std::int32_t style) {
    style_ = style;
    view_->SetStyle(style);
}

void CommandBar::SetImageList(int slot, std::shared_ptr<IImageList> images) {
    if (slot < 0 || slot > 1)
        return;
    images_[slot] = images;
    view_->SetImageList(slot, std::move(images));
}

const std::shared_ptr<IImageList>& CommandBar::ImageList(int slot) const {
    return images_[slot == 1 ? 1 : 0];
}

void CommandBar::SetMainBar(ButtonBar* bar) {
    mainBar_ = bar;
    RefreshMainBar();
}

void CommandBar::ButtonChanged(const Button& button) {
    if (mainBar_ != nullptr && mainBar_->Contains(button))
        RefreshMainBar();
}

void CommandBar::SetOwnButtons(std::vector<ToolButtonView> buttons) {
    ownButtons_ = std::move(buttons);
    // Before the main bar is set nothing shows yet: the bar's first buttons come with it, in one toolbar. Shown now,
    // they would make a toolbar that the main bar's buttons and the image lists then have to rebuild.
    if (mainBar_ != nullptr)
        RefreshMainBar();
}

bool CommandBar::Own(const std::string& key) const {
    return std::any_of(ownButtons_.begin(), ownButtons_.end(),
                       [&](const ToolButtonView& own) { return own.key == key && !own.separator; });
}

void CommandBar::RefreshMainBar() {
    std::vector<ToolButtonView> views;
    if (mainBar_ != nullptr) {
        views.reserve(mainBar_->Buttons().size() + ownButtons_.size());
        for (const Button* button : mainBar_->Buttons())
            views.push_back(button->ToView());
    }
    views.insert(views.end(), ownButtons_.begin(), ownButtons_.end());
    view_->ShowButtons(views);
}

void CommandBar::ShowDropDown(ButtonBar& bar, const PopupAnchor& anchor) {
    std::vector<Button*> shown;
    std::vector<MenuItemView> items;
    for (Button* button : bar.Buttons()) {
        if (!button->Visible() || button->Style() == kButtonStyleSeparator)
            continue;
        shown.push_back(button);
        MenuItemView item;
        item.icon = button->Icon();
        item.caption = button->Caption();
        items.push_back(item);
    }
    if (items.empty()) {
        MenuItemView none;
        none.caption = kNoProgramFound;
        none.enabled = false;
        items.push_back(none);
    }

    const std::optional<std::size_t> choice = ShowMenu(items, anchor);
    if (choice && *choice < shown.size())
        host_.cmdBar_ButtonClick(index_, *shown[*choice]);
}

std::optional<std::size_t> CommandBar::ShowMenu(const std::vector<MenuItemView>& items, const PopupAnchor& anchor) {
    const FlagScope showing(dropDownShowing_);
    return view_->TrackPopup(items, anchor);
}

void CommandBar::OnButtonPressed(const std::string& key) {
    if (Own(key)) {
        host_.cmdBar_OwnButton(index_, key, nullptr);
        return;
    }
    Button* button = buttons_.Item(key);
    // Separators are inert and a category button only opens its drop-down.
    if (button == nullptr || button->Style() == kButtonStyleSeparator || button->DropDown())
        return;
    host_.cmdBar_ButtonClick(index_, *button);
}

void CommandBar::OnDropDownPressed(const std::string& key, const PopupAnchor& anchor) {
    if (Own(key)) {
        host_.cmdBar_OwnButton(index_, key, &anchor);
        return;
    }
    Button* button = buttons_.Item(key);
    if (button == nullptr || button->Bar() == nullptr)
        return;
    // All drop-downs are served by the one instance received at the first request.
    if (menuHost_ == nullptr) {
        CommandBar* slot = nullptr;
        host_.cmdBar_RequestNewInstance(index_, slot);
        menuHost_ = slot;
        // The menus show the same pictures as the bar.
        if (menuHost_ != nullptr) {
            for (int i = 0; i < 2; ++i)
                menuHost_->SetImageList(i, images_[i]);
        }
    }
    if (menuHost_ != nullptr)
        menuHost_->ShowDropDown(*button->Bar(), anchor);
}

}  // namespace nimbrel
