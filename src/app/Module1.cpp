#include "app/Module1.h"

#include "app/frmMain.h"
#include "catalogue/ProgramCatalogue.h"

namespace nimbrel {

std::string PathBeforeFirstNul(const std::string& buffer) {
    const std::size_t nul = buffer.find('\0');
    return nul == std::string::npos ? std::string() : buffer.substr(0, nul);
}

bool GetProgramFilesDir(IShell& shell, IMessageBox& messageBox, IProcess& process, std::string& programFilesDir) {
    const SpecialFolder folder = shell.GetSpecialFolder(kCsidlProgramFiles);
    if (folder.result != 0) {
        messageBox.Show(kNoProgramFilesMessage, kMessageStyleCritical, kProgramTitle);
        process.EndProgram();
        return false;
    }
    programFilesDir = PathBeforeFirstNul(folder.buffer);
    return true;
}

std::string GetProgramFilesX86Dir(IShell& shell, const std::string& programFilesDir) {
    // Without it the catalogue looks in the one folder: nothing to tell the user.
    const SpecialFolder folder = shell.GetSpecialFolder(kCsidlProgramFilesX86);
    if (folder.result != 0)
        return {};
    std::string path = PathBeforeFirstNul(folder.buffer);
    if (ToUpperAscii(path) == ToUpperAscii(programFilesDir))
        return {};
    return path;
}

bool frmMain::GetProgramFilesDir() {
    if (!nimbrel::GetProgramFilesDir(platform_.shell, platform_.messageBox, platform_.process, ProgramFilesDir))
        return false;
    ProgramFilesX86Dir = GetProgramFilesX86Dir(platform_.shell, ProgramFilesDir);
    return true;
}

}  // namespace nimbrel
