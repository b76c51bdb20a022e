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
    linkDrops_.emplace(platform_.entryFiles, platform_.entryShell, platform_.messageBox, linksBar_->Folder().Folder());
}

void frmMain::FollowLinks() {
    // The watch calls back from the message loop; the view posts the rebuild it asks for.
    linksBar_->Folder().Watch([this] {
        if (!ended_)
            cmdBar[0]->SetOwnButtons(linksBar_->Buttons());
    });
    // OLE's start costs the first paint nothing from the message loop.
    platform_.pump.Post([this] {
        if (!ended_)
            platform_.window.AcceptDrops(*this);
    });
}

ChoiceMenu frmMain::EntryMenu(const std::string& key) const {
    ChoiceMenu menu;
    if (!linksBar_ || linksBar_->EntryOf(key) == nullptr)
        return menu;
    for (const auto& [item, entry] : EntryMenuItems()) {
        MenuChoice choice;
        choice.kind = MenuChoice::Kind::Entry;
        choice.entry = entry;
        menu.Add(item, choice);
    }
    MenuItemView separator;
    separator.separator = true;
    menu.Add(separator);
    return menu;
}

void frmMain::ApplyLinksChoice(const MenuChoice& choice, const std::string& key) {
    if (!linksBar_ || !linkDrops_)
        return;
    const LinkEntry* entry = linksBar_->EntryOf(key);
    if (choice.kind == MenuChoice::Kind::Entry && entry != nullptr) {
        switch (choice.entry) {
            case EntryChoice::Open:
                RunLink({entry->folder ? LinkCommand::Kind::Explore : LinkCommand::Kind::Open, entry->path});
                return;
            case EntryChoice::Properties:
                linkDrops_->ShowProperties(entry->path);
                return;
            case EntryChoice::Remove:
                // The watch takes its button away.
                linkDrops_->Remove(entry->path);
                return;
        }
    }
    if (choice.kind != MenuChoice::Kind::Links)
        return;
    if (choice.links == LinksChoice::AddToBar) {
        const FlagScope busy(menuOpen_);
        linkDrops_->AddChosen();
    } else if (linkDrops_->MakeFolder()) {
        RunLink({LinkCommand::Kind::Explore, linkDrops_->Folder()});
    }
}

DropSpot frmMain::DropSpotAt(int x, int y) {
    if (ended_ || !linksBar_ || !BarShown)
        return {};
    const std::optional<std::string> key = cmdBar[0]->KeyAt(x, y);
    if (!key)
        return {};
    // A Links entry takes what its program opens; everywhere else on the bar a drop adds to the folder.
    if (const LinkEntry* entry = linksBar_->EntryOf(*key))
        return SpotForEntry(entry->path, entry->folder);
    return {DropSpot::Kind::Bar, {}};
}

void frmMain::OnDragOver(bool over) {
    dragOver_ = over;
}

void frmMain::OnDrop(const DroppedItems& items, const DropSpot& spot) {
    dragOver_ = false;
    // After the drop has returned: the program the drag came from waits for it, and what follows may ask the user.
    platform_.pump.Post([this, items, spot] {
        if (ended_ || !linkDrops_)
            return;
        const DropAction action = DecideDrop(items, spot);
        if (action == DropAction::Open)
            platform_.window.LetOthersTakeForeground();
        linkDrops_->Drop(items, spot);
        // Opening the files is a command; an entry added shows on the bar as the folder changes.
        if (action == DropAction::Open)
            GO_BarOff();
    });
}

}  // namespace nimbrel
