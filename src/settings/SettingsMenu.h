// The bar's own menu, which a right-click opens: where the bar docks, where the pointer calls it back from, its look,
// starting with Windows, Help and Exit. Each choice applies at once and is saved to the settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "links/LinkDrops.h"
#include "platform/Platform.h"
#include "settings/SettingsRewrite.h"
#include "settings/SettingsStore.h"

namespace nimbrel {

// What one entry of a menu does.
struct MenuChoice {
    enum class Kind {
        DockAt,
        CallBackFrom,
        Look,
        StartWithWindows,
        Button,  // what the bar's button with this key does
        Entry,   // one of a Links entry's own: open it, its properties, remove it
        Links,   // add to the Links folder, or open it
    };
    Kind kind = Kind::Button;
    std::optional<Edge> edge;  // DockAt, CallBackFrom; nothing calls the bar back from nowhere
    std::int16_t style = 0;    // Look
    std::string key;           // Button
    EntryChoice entry = EntryChoice::Open;
    LinksChoice links = LinksChoice::AddToBar;

    bool operator==(const MenuChoice&) const = default;
};

// A popup menu and what each of its entries does, by the number the view gives a choice.
class ChoiceMenu {
public:
    void Add(MenuItemView item, std::optional<MenuChoice> choice = std::nullopt);
    void AddSubmenu(std::string caption, const std::vector<std::pair<MenuItemView, MenuChoice>>& entries);
    void Append(const ChoiceMenu& other);
    const std::vector<MenuItemView>& Items() const { return items_; }
    std::optional<MenuChoice> ChoiceAt(std::size_t number) const;

private:
    std::vector<MenuItemView> items_;
    std::vector<std::optional<MenuChoice>> choices_;  // by number: depth first, a submenu before its entries
};

// What the menu changes on the bar; the main window applies each through the routines of its start-up.
class ISettingsTarget {
public:
    virtual ~ISettingsTarget() = default;
    virtual ChosenSettings SettingsNow() const = 0;
    // Docks the bar at edge at once, as a start at that edge places it.
    virtual void DockAt(Edge edge) = 0;
    // From the next tick on.
    virtual void CallBackFrom(std::optional<Edge> edge) = 0;
    // Restyles the bar in place.
    virtual void SetLook(std::int16_t style) = 0;
    virtual void RunButton(const std::string& key) = 0;
};

class SettingsMenu {
public:
    SettingsMenu(ISettingsTarget& bar, SettingsStore store, IStartupShortcut& startup, IMessageBox& messages)
        : bar_(bar), store_(std::move(store)), startup_(startup), messages_(messages) {}

    // The menu for the bar as it is now, its settings checked.
    ChoiceMenu Menu() const;
    // Applies the choice and saves it; a change that cannot be saved holds for this run, and the user is told. False
    // for a choice of the Links folder's, which is not this menu's to apply.
    bool Apply(const MenuChoice& choice);

private:
    void Tell(const UserMessage& message);

    ISettingsTarget& bar_;
    SettingsStore store_;
    IStartupShortcut& startup_;
    IMessageBox& messages_;
};

}  // namespace nimbrel
