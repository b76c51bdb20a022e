// Text conversions at the Win32 edge: the program keeps UTF-8, Windows takes UTF-16,
// and the settings file is single-byte text in the system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace nimbrel::win32 {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Bytes in the ANSI code page (CP_ACP) to UTF-8.
std::string AnsiToUtf8(std::string_view bytes);
// UTF-8 to bytes in the ANSI code page; characters outside it become the code page's default character.
std::string Utf8ToAnsi(std::string_view text);

// Quotes one command-line argument so that CommandLineToArgvW gives it back unchanged:
// backslashes are doubled only where they precede a quote or the closing quote.
std::wstring QuoteArgument(std::wstring_view argument);

// The system's text for an error code (GetLastError's, or an HRESULT), in UTF-8.
std::string SystemReason(DWORD error);

}  // namespace nimbrel::win32
