// Every service of the seam, built on one main window. Which file of src/win32/ owns what: main.cpp runs wWinMain;
// WindowClass.h is every window's scaffolding (this at WM_NCCREATE, the exception barrier, Subclass), Com.h and
// Handles.h the owning pointers; MainWindow is the top-level window in twips, Desktop the screen, the pointer, the
// nested message pump and message boxes, Timers the timers; MenuLoop knows whether a menu is open and keeps a
// drop-down's life (DropDownScope); CommandBarView builds and lays out the toolbar, BarLooks (ToolbarLook) styles and
// paints it, ToolbarKeys works its keyboard, PopupMenus shows the drop-down menus, Pictures cuts the picture strips;
// Shell, Files and SingleBar are the shell, the settings file and the one bar per folder; LinksFolder lists, orders,
// watches and opens the Links folder's entries, LinkIcons makes their pictures, UiThreadQueue brings other threads'
// results to the message loop; EntryFiles and EntryShell write, recycle, show and start the Links folder's entries,
// DropTarget takes what is dropped on the bar; Dpi, Units, Strings and DllSearch the scale, twips, text and DLL
// search; WineQuirks holds every Wine-only path, chosen at run time.
#pragma once

#include <windows.h>

#include "platform/Platform.h"
#include "win32/CommandBarView.h"
#include "win32/Desktop.h"
#include "win32/EntryFiles.h"
#include "win32/EntryShell.h"
#include "win32/Files.h"
#include "win32/LinksFolder.h"
#include "win32/MainWindow.h"
#include "win32/MenuLoop.h"
#include "win32/Shell.h"
#include "win32/StartupShortcut.h"
#include "win32/Timers.h"

namespace nimbrel::win32 {

class Win32Platform {
public:
    explicit Win32Platform(HINSTANCE instance)
        : window_(instance),
          screen_(window_),
          timers_(window_),
          pump_(window_, menuLoop_),
          shell_(window_.Handle()),
          barViews_(window_, menuLoop_, instance),
          folders_(window_.Handle()),
          entryFiles_(window_.Handle()),
          entryShell_(window_.Handle()),
          platform_{window_, screen_,  timers_,   pointer_, pump_,    messageBox_, files_,
                    shell_,  process_, barViews_, startup_, folders_, entryFiles_, entryShell_} {}
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    bool Ready() const { return window_.Handle() != nullptr; }
    MainWindow& Window() { return window_; }
    Platform& Services() { return platform_; }

private:
    MenuLoop menuLoop_;
    MainWindow window_;
    Screen screen_;
    TimerFactory timers_;
    Pointer pointer_;
    MessagePump pump_;
    MessageBoxes messageBox_;
    FileSystem files_;
    Shell shell_;
    Process process_;
    BarViewFactory barViews_;
    StartupShortcut startup_;
    Folders folders_;
    EntryFiles entryFiles_;
    EntryShell entryShell_;
    Platform platform_;
};

}  // namespace nimbrel::win32
