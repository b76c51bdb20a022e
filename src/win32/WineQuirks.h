// The places where Wine, our test bed, draws differently from Windows. Windows always gets its documented
// path; the other is taken only when the program finds itself running on Wine.
#pragma once

namespace nimbrel::win32 {

// Windows draws a 32-bit premultiplied menu-item bitmap (MIIM_BITMAP) with its alpha and keeps the menu's
// visual style. Wine drops the alpha and paints the transparent corners black, so there the program draws
// the pictures itself through HBMMENU_CALLBACK.
bool MenuPicturesDrawnByProgram();

// Windows keeps a deactivated tool-tip hidden. Wine still shows it when the initial-delay timer that the pointer
// armed before the deactivation runs out, so there the tip is also told that the pointer has left every tool.
bool TipTimerOutlivesDeactivation();

// Windows' DLLs take what they load late from the directories the program allowed. Wine's own DLLs resolve their
// delay imports with the program's folder first, whatever the default DLL directories say (Wine 8: its uxtheme
// takes msimg32 that way), so there the program loads those from the system folder before anything needs them.
bool DelayImportsSearchProgramFolder();

// Windows' ReplaceFileW leaves both files as they were when another program holds the old one. Wine's (8) then
// leaves a temporary file of its own (rf*.tmp) beside them, so there the program first checks that the old file
// may be deleted, which replacing it needs.
bool ReplaceFileLeavesLitter();
// Windows' change notification on a folder's whole tree (FindFirstChangeNotificationW with bWatchSubtree) reports
// changes in every folder below it. Wine 8's reports them only in folders made after the watch began, so there a watch
// also waits on each folder directly in the one it watches.
bool SubtreeWatchMissesFoldersAlreadyThere();

// Windows shows a file's property sheet through SHObjectProperties. Wine's (8) answers TRUE and shows nothing, so
// there the program invokes the "properties" verb of the file's context menu instead, whose sheet Wine shows modally:
// the call returns once the sheet is closed.
bool PropertiesOnlyThroughContextMenu();

}  // namespace nimbrel::win32
