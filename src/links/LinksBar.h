// The Links folder on the bar: its entries as the buttons after Help, behind a separator, and the menus of its folders
// and of the » button. A button's key is the entry's path behind a prefix that no key of the catalogue has.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "links/Links.h"
#include "platform/Platform.h"

namespace nimbrel {

// A menu of entries, and the command behind each number the view gives back.
struct LinksMenu {
    std::vector<MenuItemView> items;
    std::vector<LinkCommand> commands;  // by number: depth first, a submenu before its entries
};

class LinksBar {
public:
    LinksBar(IFolders& folders, const std::string& executableFolder) : links_(folders, executableFolder) {}

    Links& Folder() { return links_; }
    // The separator and one button per entry; nothing when there are no entries, so the bar is as without Links.
    std::vector<ToolButtonView> Buttons() const;
    static bool IsLinkKey(const std::string& key);
    // The entry with this key; nothing for any other key.
    const LinkEntry* EntryOf(const std::string& key) const;
    // What a click on the button with this key does.
    LinkCommand CommandFor(const std::string& key) const;
    // The menu of the folder whose button has this key: its entries, a folder among them opened in Explorer.
    LinksMenu FolderMenu(const std::string& key) const;
    // The » menu of the buttons with these keys; a folder's entries as its submenu.
    LinksMenu OverflowMenu(const std::vector<std::string>& keys) const;

private:
    Links links_;
};

}  // namespace nimbrel
