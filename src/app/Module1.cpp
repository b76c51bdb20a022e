#include "app/Module1.h"

#include "app/frmMain.h"

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

bool frmMain::GetProgramFilesDir() {
    return nimbrel::GetProgramFilesDir(platform_.shell, platform_.messageBox, platform_.process, ProgramFilesDir);
}

}  // namespace nimbrel
