#include "settings/SettingsMenu.h"

#include "app/Module1.h"
#include "app/frmMain.h"

namespace nimbrel {
namespace {

constexpr unsigned kMessageStyleWarning = 0x30;  // MB_ICONEXCLAMATION | MB_OK

MenuItemView Radio(const char* caption, bool checked) {
    MenuItemView item;
    item.caption = caption;
    item.radio = true;
    item.checked = checked;
    return item;
}

MenuItemView Plain(const char* caption) {
    MenuItemView item;
    item.caption = caption;
    return item;
}

MenuChoice Choice(MenuChoice::Kind kind, std::optional<Edge> edge = std::nullopt, std::int16_t style = 0) {
    return {kind, edge, style, {}};
}

// The four edges in the order the menus list them: round the screen from the top.
constexpr std::pair<Edge, const char*> kEdges[] = {{Edge::Top, "&Top"},
                                                   {Edge::Right, "&Right"},
                                                   {Edge::Bottom, "&Bottom"},
                                                   {Edge::Left, "&Left"}};
constexpr const char* kLooks[] = {"&Classic", "&Flat", "&Gradient", "&Dark"};

}  // namespace

void ChoiceMenu::Add(MenuItemView item, std::optional<MenuChoice> choice) {
    items_.push_back(std::move(item));
    choices_.push_back(std::move(choice));
}

void ChoiceMenu::AddSubmenu(std::string caption, const std::vector<std::pair<MenuItemView, MenuChoice>>& entries) {
    MenuItemView parent;
    parent.caption = std::move(caption);
    choices_.emplace_back();
    for (const auto& [item, choice] : entries) {
        parent.submenu.push_back(item);
        choices_.emplace_back(choice);
    }
    items_.push_back(std::move(parent));
}

void ChoiceMenu::Append(const ChoiceMenu& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    choices_.insert(choices_.end(), other.choices_.begin(), other.choices_.end());
}

std::optional<MenuChoice> ChoiceMenu::ChoiceAt(std::size_t number) const {
    return number < choices_.size() ? choices_[number] : std::nullopt;
}

ChoiceMenu SettingsMenu::Menu() const {
    const ChosenSettings now = bar_.SettingsNow();
    ChoiceMenu menu;
    std::vector<std::pair<MenuItemView, MenuChoice>> dock;
    std::vector<std::pair<MenuItemView, MenuChoice>> callBack;
    for (const auto& [edge, caption] : kEdges) {
        dock.emplace_back(Radio(caption, now.dockEdge == edge), Choice(MenuChoice::Kind::DockAt, edge));
        callBack.emplace_back(Radio(caption, now.callBackEdge == edge), Choice(MenuChoice::Kind::CallBackFrom, edge));
    }
    callBack.emplace_back(Radio("&Nowhere (shortcut key only)", !now.callBackEdge),
                          Choice(MenuChoice::Kind::CallBackFrom));
    std::vector<std::pair<MenuItemView, MenuChoice>> looks;
    for (std::int16_t style = 0; style < 4; ++style)
        looks.emplace_back(Radio(kLooks[style], now.style == style), Choice(MenuChoice::Kind::Look, {}, style));
    menu.AddSubmenu("&Dock at", dock);
    menu.AddSubmenu("&Call back from", callBack);
    menu.AddSubmenu("&Look", looks);
    MenuItemView startup = Plain("&Start with Windows");
    startup.checked = startup_.Present();
    menu.Add(startup, Choice(MenuChoice::Kind::StartWithWindows));
    for (const auto& [item, links] : LinksMenuItems()) {
        MenuChoice choice = Choice(MenuChoice::Kind::Links);
        choice.links = links;
        menu.Add(item, choice);
    }
    MenuItemView separator;
    separator.separator = true;
    menu.Add(separator);
    menu.Add(Plain("&Help"), MenuChoice{MenuChoice::Kind::Button, {}, 0, "HELP"});
    menu.Add(Plain("E&xit"), MenuChoice{MenuChoice::Kind::Button, {}, 0, "EXIT"});
    return menu;
}

bool SettingsMenu::Apply(const MenuChoice& choice) {
    const ChosenSettings before = bar_.SettingsNow();
    ChangedKeys changed;
    switch (choice.kind) {
        case MenuChoice::Kind::Entry:
        case MenuChoice::Kind::Links:
            return false;
        case MenuChoice::Kind::DockAt:
            if (!choice.edge || *choice.edge == before.dockEdge)
                return true;
            // A bar called back from the edge it docks at keeps it so: the two move together.
            if (before.callBackEdge == before.dockEdge) {
                bar_.CallBackFrom(choice.edge);
                changed.callBackEdge = true;
            }
            bar_.DockAt(*choice.edge);
            changed.dockEdge = true;
            break;
        case MenuChoice::Kind::CallBackFrom:
            if (choice.edge == before.callBackEdge)
                return true;
            bar_.CallBackFrom(choice.edge);
            changed.callBackEdge = true;
            break;
        case MenuChoice::Kind::Look:
            if (choice.style == before.style)
                return true;
            bar_.SetLook(choice.style);
            changed.style = true;
            break;
        case MenuChoice::Kind::StartWithWindows: {
            const bool wanted = !startup_.Present();
            const WriteResult result = startup_.Set(wanted);
            if (!result.written) {
                Tell({std::string("Nimbrel could not ") +
                          (wanted ? "add its shortcut to" : "remove its shortcut from") + " the Startup folder.\n\n" +
                          result.reason,
                      kMessageStyleWarning, kProgramTitle});
            }
            return true;
        }
        case MenuChoice::Kind::Button:
            bar_.RunButton(choice.key);
            return true;
    }
    if (const std::optional<UserMessage> failure = store_.Save(changed, bar_.SettingsNow()))
        Tell(*failure);
    return true;
}

void SettingsMenu::Tell(const UserMessage& message) {
    messages_.Show(message.text, message.style, message.title);
}

void frmMain::cmdBar_ContextMenu(std::int16_t index, const std::string& key, const PopupAnchor& anchor) {
    if (ended_ || index != 0 || !BarShown || DropDownOpen())
        return;
    if (!settingsMenu_) {
        settingsMenu_.emplace(static_cast<ISettingsTarget&>(*this),
                              SettingsStore(platform_.files, platform_.process.ExecutableFolder()), platform_.startup,
                              platform_.messageBox);
    }
    std::optional<MenuChoice> choice;
    {
        // A Links button's own entries come first, then the bar's.
        ChoiceMenu menu = EntryMenu(key);
        menu.Append(settingsMenu_->Menu());
        const FlagScope open(menuOpen_);
        if (const std::optional<std::size_t> number = cmdBar[0]->ShowMenu(menu.Items(), anchor))
            choice = menu.ChoiceAt(*number);
    }
    // Not a command: the bar stays where the choice left it until the pointer watch parks it.
    if (choice && !ended_ && !settingsMenu_->Apply(*choice))
        ApplyLinksChoice(*choice, key);
}

ChosenSettings frmMain::SettingsNow() const {
    return {DockEdge(), EdgeNamed(BarSettings.PointerPosition), BarSettings.Style};
}

void frmMain::DockAt(Edge edge) {
    BarSettings.ToolbarPosition = EdgeName(edge);
    const MoveScope moving(*this);
    CommandBar& bar = *cmdBar[0];
    bar.SetAlignment(std::nullopt);
    bar.SetHeight(0);
    bar.SetWidth(0);
    PlaceBar();
    // Docked as a start at that edge places it, a BOTTOM bar with its overhang.
    BarShown = true;
    parkedOnce_ = false;
}

void frmMain::CallBackFrom(std::optional<Edge> edge) {
    BarSettings.PointerPosition = edge ? EdgeName(*edge) : "NONE";
}

void frmMain::SetLook(std::int16_t style) {
    BarSettings.Style = style;
    cmdBar[0]->SetStyle(style);
}

void frmMain::RunButton(const std::string& key) {
    if (Button* button = cmdBar[0]->Buttons().Item(key))
        cmdBar_ButtonClick(0, *button);
}

}  // namespace nimbrel
