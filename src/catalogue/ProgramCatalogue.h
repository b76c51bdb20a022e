// The nineteen catalogued programs, where each is expected under the Program Files folders, and the three rules on
// them.
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
    // The 32-bit Program Files folder for a program found only there; empty: ProgramFilesDir.
    std::array<std::string, kPositions> ExeRoot;
    std::int16_t ProgramCount = 0;
};

inline constexpr int kOutlookPosition = 5;

// Fills the table and searches the Office folders for Outlook, under programFilesDir and then, unless it is
// empty, under programFilesX86Dir.
void FillCatalogue(Catalogue& catalogue,
                   IFileSystem& files,
                   const std::string& programFilesDir,
                   const std::string& programFilesX86Dir = {});

// The install test: the executable is an ordinary file below programFilesDir or, failing that, below
// programFilesX86Dir (unless empty), which then becomes the position's ExeRoot.
bool FindInstalled(Catalogue& catalogue,
                   IFileSystem& files,
                   const std::string& programFilesDir,
                   const std::string& programFilesX86Dir,
                   int position);

// ExeRoot, or ProgramFilesDir when it is empty, + ExeFolder + ExeName + ".exe".
std::string InstallPath(const Catalogue& catalogue, const std::string& programFilesDir, int position);
// The same without extension.
std::string LaunchCommand(const Catalogue& catalogue, const std::string& programFilesDir, int position);
// The first position from 1 to ProgramCount whose upper-case ExeName occurs in key; 0 when none.
int KeyEntry(const Catalogue& catalogue, const std::string& key);

std::string ToUpperAscii(std::string text);

}  // namespace nimbrel
