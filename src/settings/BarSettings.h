// The three user settings and the settings file they come from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbrel {

// The record that frmMain keeps as BarSettings.
struct Settings {
    std::string ToolbarPosition;
    std::string PointerPosition;
    std::int16_t Style = 0;

    bool operator==(const Settings&) const = default;
};

inline constexpr const char* kSettingsFileName = "\\Nimbrel.Txt";
// Written when there is no settings file: three lines, each ended by CR LF, 53 bytes.
inline constexpr std::string_view kDefaultSettingsFile = "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=1\r\n";

// The settings file beside the program in folder; the folder may be a drive root.
std::string SettingsFilePath(const std::string& folder);

// Applies the setting lines of text to settings (which holds the values from before the file).
void ParseSettings(std::string_view text, Settings& settings);

// The keys of the settings file.
enum class SettingsKey {
    ToolbarPosition,
    PointerPosition,
    Style,
};

// One line that sets a key, as the reader takes it.
struct SettingsEntry {
    SettingsKey key = SettingsKey::ToolbarPosition;
    // The text after the first '=' up to the line's trailing spaces: a view into the line given.
    std::string_view value;
};

// What one line (without its line end) sets; nothing for a line the reader ignores: one that begins with '[' after
// leading spaces, one without '=', or an unknown key. Keys compare without regard to ASCII case.
std::optional<SettingsEntry> ReadSettingsEntry(std::string_view line);

// Splits at CR or CR LF; a lone LF stays inside its line. A final line end adds no empty line.
template <typename Fn>
void ForEachSettingsLine(std::string_view text, Fn&& fn) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            fn(text.substr(start));
            return;
        }
        fn(text.substr(start, cr - start));
        start = cr + 1;
        if (start < text.size() && text[start] == '\n')
            ++start;
    }
}

// The STYLE rule: the number read from value, rounded half to even; below 1 or above 3 gives 1.
std::int16_t StyleFromValue(std::string_view value);

// Reads the longest leading number of text the way a BASIC Val does: spaces, tabs and line feeds
// anywhere are ignored; optional sign, digits, '.', exponent (E or D); '&H' hexadecimal, '&O' octal.
// Text with no leading number reads as 0.
double ReadStyleNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour.
double RoundHalfEven(double value);

}  // namespace nimbrel
