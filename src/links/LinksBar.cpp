#include "links/LinksBar.h"

#include <algorithm>

#include "app/frmMain.h"

namespace nimbrel {
namespace {

constexpr const char* kKeyPrefix = "LINK|";
constexpr const char* kSeparatorKey = "LINK|";

MenuItemView ItemOf(const LinkEntry& entry) {
    MenuItemView item;
    item.picture = entry.path;
    item.caption = entry.name;
    return item;
}

// The entries of a folder's menu: a folder among them opens in Explorer, anything else starts.
void AddItems(const LinkEntry& folder, std::vector<MenuItemView>& items, std::vector<LinkCommand>& commands) {
    for (const LinkEntry& entry : folder.items) {
        items.push_back(ItemOf(entry));
        commands.push_back({entry.folder ? LinkCommand::Kind::Explore : LinkCommand::Kind::Open, entry.path});
    }
    if (folder.items.empty()) {
        MenuItemView empty;
        empty.caption = "(empty)";
        empty.enabled = false;
        items.push_back(empty);
        commands.emplace_back();
    }
}

}  // namespace

std::vector<ToolButtonView> LinksBar::Buttons() const {
    std::vector<ToolButtonView> buttons;
    if (links_.Entries().empty())
        return buttons;
    ToolButtonView separator;
    separator.key = kSeparatorKey;
    separator.separator = true;
    buttons.push_back(separator);
    for (const LinkEntry& entry : links_.Entries()) {
        ToolButtonView button;
        button.key = kKeyPrefix + entry.path;
        button.toolTip = entry.name;
        button.picture = entry.path;
        button.dropDown = entry.folder;
        button.overflows = true;
        buttons.push_back(button);
    }
    return buttons;
}

bool LinksBar::IsLinkKey(const std::string& key) {
    return key.rfind(kKeyPrefix, 0) == 0;
}

const LinkEntry* LinksBar::EntryOf(const std::string& key) const {
    if (!IsLinkKey(key))
        return nullptr;
    const std::string path = key.substr(std::char_traits<char>::length(kKeyPrefix));
    const auto& entries = links_.Entries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const LinkEntry& e) { return e.path == path; });
    return found == entries.end() ? nullptr : &*found;
}

LinkCommand LinksBar::CommandFor(const std::string& key) const {
    const LinkEntry* entry = EntryOf(key);
    return entry == nullptr ? LinkCommand{} : links_.CommandFor(entry->path);
}

LinksMenu LinksBar::FolderMenu(const std::string& key) const {
    LinksMenu menu;
    if (const LinkEntry* folder = EntryOf(key); folder != nullptr && folder->folder)
        AddItems(*folder, menu.items, menu.commands);
    return menu;
}

LinksMenu LinksBar::OverflowMenu(const std::vector<std::string>& keys) const {
    LinksMenu menu;
    for (const std::string& key : keys) {
        const LinkEntry* entry = EntryOf(key);
        if (entry == nullptr)
            continue;
        MenuItemView item = ItemOf(*entry);
        menu.commands.push_back({entry->folder ? LinkCommand::Kind::Menu : LinkCommand::Kind::Open, entry->path});
        if (entry->folder) {
            std::vector<LinkCommand> inner;
            AddItems(*entry, item.submenu, inner);
            menu.commands.insert(menu.commands.end(), inner.begin(), inner.end());
        }
        menu.items.push_back(std::move(item));
    }
    return menu;
}

void frmMain::cmdBar_OwnButton(std::int16_t /*index*/, const std::string& key, const PopupAnchor* dropDown) {
    if (ended_ || !linksBar_)
        return;
    if (dropDown == nullptr) {
        RunLink(linksBar_->CommandFor(key));
        return;
    }
    ShowLinksMenu(linksBar_->FolderMenu(key), *dropDown);
}

void frmMain::cmdBar_OwnOverflow(std::int16_t /*index*/,
                                 const std::vector<std::string>& keys,
                                 const PopupAnchor& anchor) {
    if (!ended_ && linksBar_)
        ShowLinksMenu(linksBar_->OverflowMenu(keys), anchor);
}

void frmMain::ShowLinksMenu(const LinksMenu& menu, const PopupAnchor& anchor) {
    if (menu.items.empty())
        return;
    const std::optional<std::size_t> number = cmdBar[0]->ShowMenu(menu.items, anchor);
    if (number && *number < menu.commands.size())
        RunLink(menu.commands[*number]);
}

void frmMain::RunLink(const LinkCommand& command) {
    if (command.kind == LinkCommand::Kind::Nothing || command.kind == LinkCommand::Kind::Menu)
        return;
    // As after every command: what it starts may come in front, and the bar parks. A failure has shown the shell's
    // own message by now.
    platform_.window.LetOthersTakeForeground();
    linksBar_->Folder().Run(command);
    GO_BarOff();
}

void frmMain::ShowLinks() {
    linksBar_.emplace(platform_.folders, platform_.process.ExecutableFolder());
    linksBar_->Folder().Refresh();
    cmdBar[0]->SetOwnButtons(linksBar_->Buttons());
}

void frmMain::FollowLinks() {
    // The watch calls back from the message loop; the view posts the rebuild it asks for.
    linksBar_->Folder().Watch([this] {
        if (!ended_)
            cmdBar[0]->SetOwnButtons(linksBar_->Buttons());
    });
}

}  // namespace nimbrel
