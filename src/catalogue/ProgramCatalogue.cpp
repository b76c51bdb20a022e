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

// A folder does not read as a file, but a path that is not there reads as missing, and nothing lies below it.
bool Missing(IFileSystem& files, const std::string& path) {
    return files.ReadTextFile(path).status == ReadStatus::Missing;
}

// The first of parent's office1 to office99 folders below root that holds Outlook; empty when none does.
std::string NumberedOffice(IFileSystem& files, const std::string& root, const std::string& parent) {
    for (int n = 1; n <= kHighestOfficeNumber; ++n) {
        std::string folder = parent + "office" + std::to_string(n) + "\\";
        if (files.IsOrdinaryFile(root + folder + "outlook.exe"))
            return folder;
    }
    return {};
}

// Outlook's folder below root: office, then office1 to office99, then root\office1 to root\office99.
std::string FindOutlook(IFileSystem& files, const std::string& root) {
    const std::string office = "\\microsoft office\\";
    // Without an Office folder the 199 checks below it would all fail.
    if (Missing(files, root + "\\microsoft office"))
        return {};
    std::string unnumbered = office + "office\\";
    if (files.IsOrdinaryFile(root + unnumbered + "outlook.exe"))
        return unnumbered;
    std::string folder = NumberedOffice(files, root, office);
    if (folder.empty() && !Missing(files, root + office + "root"))
        folder = NumberedOffice(files, root, office + "root\\");
    return folder;
}

std::string PathBelow(const std::string& root, const Catalogue& catalogue, int position) {
    return root + catalogue.ExeFolder.at(position) + catalogue.ExeName.at(position);
}

}  // namespace

std::string ToUpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

void FillCatalogue(Catalogue& catalogue,
                   IFileSystem& files,
                   const std::string& programFilesDir,
                   const std::string& programFilesX86Dir) {
    int position = 1;
    for (const Entry& entry : kEntries) {
        catalogue.ExeName[position] = entry.name;
        catalogue.ExeFolder[position] = entry.folder;
        ++position;
    }

    // The first hit wins, and every place under the first folder comes before any under the second.
    std::string outlook = FindOutlook(files, programFilesDir);
    if (outlook.empty() && !programFilesX86Dir.empty())
        outlook = FindOutlook(files, programFilesX86Dir);
    catalogue.ExeFolder[kOutlookPosition] = outlook;
    catalogue.ProgramCount = static_cast<std::int16_t>(std::size(kEntries));
}

bool FindInstalled(Catalogue& catalogue,
                   IFileSystem& files,
                   const std::string& programFilesDir,
                   const std::string& programFilesX86Dir,
                   int position) {
    catalogue.ExeRoot.at(position).clear();
    if (files.IsOrdinaryFile(PathBelow(programFilesDir, catalogue, position) + ".exe"))
        return true;
    if (programFilesX86Dir.empty() ||
        !files.IsOrdinaryFile(PathBelow(programFilesX86Dir, catalogue, position) + ".exe"))
        return false;
    catalogue.ExeRoot[position] = programFilesX86Dir;
    return true;
}

std::string InstallPath(const Catalogue& catalogue, const std::string& programFilesDir, int position) {
    return LaunchCommand(catalogue, programFilesDir, position) + ".exe";
}

std::string LaunchCommand(const Catalogue& catalogue, const std::string& programFilesDir, int position) {
    const std::string& root = catalogue.ExeRoot.at(position);
    return PathBelow(root.empty() ? programFilesDir : root, catalogue, position);
}

int KeyEntry(const Catalogue& catalogue, const std::string& key) {
    for (int i = 1; i <= catalogue.ProgramCount && i < Catalogue::kPositions; ++i) {
        if (key.find(ToUpperAscii(catalogue.ExeName[i])) != std::string::npos)
            return i;
    }
    return 0;
}

void frmMain::ConfigurePrograms() {
    FillCatalogue(ProgramCatalogue, platform_.files, ProgramFilesDir, ProgramFilesX86Dir);
}

}  // namespace nimbrel
