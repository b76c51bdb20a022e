#include "catalogue/ProgramCatalogue.h"

#include "app/frmMain.h"
#include "platform/Platform.h"

namespace nimbrel {
namespace {

struct Entry {
    const char* name;
    const char* folder;
};

// Positions 1 to 19. Outlook's folder is searched for at start-up.
constexpr Entry kEntries[] = {
    {"iexplore", "\\Internet Explorer\\"},
    {"netscape", "\\netscape\\netscape browser\\"},
    {"firefox", "\\Mozilla Firefox\\"},
    {"opera", "\\opera\\"},
    {"outlook", ""},
    {"msimn", "\\outlook express\\"},
    {"eudora", "\\qualcomm\\eudora\\"},
    {"thunderbird", "\\mozilla thunderbird\\"},
    {"filezilla", "\\filezilla\\"},
    {"smartftp", "\\smartftp\\"},
    {"freeftp", "\\coffeecup software\\coffeecup free ftp\\"},
    {"skype", "\\skype\\phone\\"},
    {"icqlite", "\\icqlite\\"},
    {"msmsgs", "\\messenger\\"},
    {"limewire", "\\limewire\\"},
    {"morpheus", "\\morpheus\\"},
    {"googleearth", "\\google\\google earth\\"},
    {"ispbos", "\\OSS\\Internet Booster\\"},
    {"tellme", "\\tellme\\"},
};

constexpr int kHighestOfficeNumber = 99;

}  // namespace

std::string ToUpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

void FillCatalogue(Catalogue& catalogue, IFileSystem& files, const std::string& programFilesDir) {
    int position = 1;
    for (const Entry& entry : kEntries) {
        catalogue.ExeName[position] = entry.name;
        catalogue.ExeFolder[position] = entry.folder;
        ++position;
    }

    // Outlook: the unnumbered Office folder first, then office1 to office99; the first hit wins.
    const std::string unnumbered = "\\microsoft office\\office\\";
    if (files.IsOrdinaryFile(programFilesDir + unnumbered + "outlook.exe")) {
        catalogue.ExeFolder[kOutlookPosition] = unnumbered;
    } else {
        for (int n = 1; n <= kHighestOfficeNumber; ++n) {
            std::string folder = "\\microsoft office\\office" + std::to_string(n) + "\\";
            if (files.IsOrdinaryFile(programFilesDir + folder + "outlook.exe")) {
                catalogue.ExeFolder[kOutlookPosition] = folder;
                break;
            }
        }
    }
    catalogue.ProgramCount = static_cast<std::int16_t>(std::size(kEntries));
}

std::string InstallPath(const Catalogue& catalogue, const std::string& programFilesDir, int position) {
    return LaunchCommand(catalogue, programFilesDir, position) + ".exe";
}

std::string LaunchCommand(const Catalogue& catalogue, const std::string& programFilesDir, int position) {
    return programFilesDir + catalogue.ExeFolder.at(position) + catalogue.ExeName.at(position);
}

int KeyEntry(const Catalogue& catalogue, const std::string& key) {
    for (int i = 1; i <= catalogue.ProgramCount && i < Catalogue::kPositions; ++i) {
        if (key.find(ToUpperAscii(catalogue.ExeName[i])) != std::string::npos)
            return i;
    }
    return 0;
}

void frmMain::ConfigurePrograms() {
    FillCatalogue(ProgramCatalogue, platform_.files, ProgramFilesDir);
}

}  // namespace nimbrel
