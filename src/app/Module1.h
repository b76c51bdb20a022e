// The Program Files folder lookup.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace nimbrel {

inline constexpr int kCsidlProgramFiles = 0x26;
inline constexpr int kCsidlProgramFilesX86 = 0x2A;
inline constexpr const char* kProgramTitle = "Nimbrel";
inline constexpr const char* kNoProgramFilesMessage = "System 'Program Files' directory not found!";
inline constexpr unsigned kMessageStyleCritical = 16;  // MB_OK | MB_ICONSTOP

// The path in front of the first NUL of a filled path buffer; empty when the buffer holds no NUL.
std::string PathBeforeFirstNul(const std::string& buffer);

// Fills programFilesDir, or tells the user and ends the program (returns false).
bool GetProgramFilesDir(IShell& shell, IMessageBox& messageBox, IProcess& process, std::string& programFilesDir);

// The 32-bit Program Files folder of 64-bit Windows; empty when the shell names none, or programFilesDir again.
std::string GetProgramFilesX86Dir(IShell& shell, const std::string& programFilesDir);

}  // namespace nimbrel
