// The nineteen catalogued programs, where each is expected under Program Files, and the three rules on them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nimbrel {

class IFileSystem;

// The record that frmMain keeps as ProgramCatalogue. Positions 0 to 30 exist; 1 to 19 are filled.
struct Catalogue {
    static constexpr int kPositions = 31;
    std::array<std::string, kPositions> ExeName;
    std::array<std::string, kPositions> ExeFolder;
    std::int16_t ProgramCount = 0;
};

inline constexpr int kOutlookPosition = 5;

// Fills the table and searches the Office folders for Outlook; counts its file checks through files.
void FillCatalogue(Catalogue& catalogue, IFileSystem& files, const std::string& programFilesDir);

// ProgramFilesDir + ExeFolder + ExeName + ".exe".
std::string InstallPath(const Catalogue& catalogue, const std::string& programFilesDir, int position);
// ProgramFilesDir + ExeFolder + ExeName, without extension.
std::string LaunchCommand(const Catalogue& catalogue, const std::string& programFilesDir, int position);
// The first position from 1 to ProgramCount whose upper-case ExeName occurs in key; 0 when none.
int KeyEntry(const Catalogue& catalogue, const std::string& key);

std::string ToUpperAscii(std::string text);

}  // namespace nimbrel
