// Settings files of growing size parse in time linear in their size; the catalogue and the hiding pass
// make a bounded number of file checks. Prints two tables.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/ProgramCatalogue.h"
#include "platform/Platform.h"
#include "settings/BarSettings.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string OneLongLine(std::size_t size) {
    std::string text = "TOOLBAR_POSITION=";
    text.resize(size, 'x');
    return text;
}

std::string ManyLines(std::size_t size) {
    const std::string lines[] = {"TOOLBAR_POSITION=left\r\n", "[Section]\r\n", "POINTER_POSITION=bottom\r\n",
                                 "STYLE=2.5\r\n", "# a remark without equals\r\n"};
    std::string text;
    text.reserve(size + 64);
    for (std::size_t i = 0; text.size() < size; ++i)
        text += lines[i % std::size(lines)];
    text.resize(size);
    return text;
}

double MedianNsPerByte(const std::string& text) {
    std::vector<double> runs;
    const int repeats = text.size() > (1U << 20) ? 5 : 51;
    for (int i = 0; i < repeats; ++i) {
        nimbrel::Settings settings{"TOP", "TOP", 0};
        const auto start = Clock::now();
        nimbrel::ParseSettings(text, settings);
        const auto ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        runs.push_back(ns / static_cast<double>(text.size()));
        if (settings.Style > 3)
            std::puts("impossible");
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// Counts the catalogue's accesses to a file system that holds only the files in present.
class CountingFiles final : public nimbrel::IFileSystem {
public:
    // A folder above a present file reads as Failed, as a folder does; anything else is Missing.
    nimbrel::ReadResult ReadTextFile(const std::string& path) override {
        ++probes;
        const bool folder = std::any_of(present.begin(), present.end(), [&](const std::string& file) {
            return file.size() > path.size() && file.compare(0, path.size(), path) == 0 && file[path.size()] == '\\';
        });
        return {folder ? nimbrel::ReadStatus::Failed : nimbrel::ReadStatus::Missing, {}, {}};
    }
    bool WriteTextFile(const std::string&, const std::string&) override { return false; }
    nimbrel::ReadResult ReadFileBytes(const std::string&) override { return {}; }
    nimbrel::WriteResult ReplaceFileBytes(const std::string&, const std::string&) override { return {}; }
    bool IsOrdinaryFile(const std::string& path) override {
        ++checks;
        return std::find(present.begin(), present.end(), path) != present.end();
    }
    int checks = 0;
    int probes = 0;
    std::vector<std::string> present;
};

constexpr const char* kProgramFiles = "C:\\PF";
constexpr const char* kProgramFilesX86 = "C:\\PF86";

struct OutlookCase {
    const char* label;
    std::vector<std::string> present;
};

}  // namespace

int main() {
    std::printf("Settings parse time (median ns per byte)\n");
    std::printf("%-10s %14s %14s\n", "size", "one line", "many lines");
    for (std::size_t size : {std::size_t{1} << 10, std::size_t{1} << 20, std::size_t{16} << 20}) {
        const double one = MedianNsPerByte(OneLongLine(size));
        const double many = MedianNsPerByte(ManyLines(size));
        const std::string label =
            size >= (1U << 20) ? std::to_string(size >> 20) + " MiB" : std::to_string(size >> 10) + " KiB";
        std::printf("%-10s %14.2f %14.2f\n", label.c_str(), one, many);
    }

    const std::string pf = kProgramFiles;
    const std::string x86 = kProgramFilesX86;
    const std::string office = "\\microsoft office\\";
    const OutlookCase cases[] = {
        {"PF\\microsoft office\\office\\", {pf + office + "office\\outlook.exe"}},
        {"PF\\microsoft office\\office11\\", {pf + office + "office11\\outlook.exe"}},
        {"PF\\microsoft office\\office99\\", {pf + office + "office99\\outlook.exe"}},
        {"PF\\microsoft office\\root\\office16\\", {pf + office + "root\\office16\\outlook.exe"}},
        {"PF86\\microsoft office\\root\\office16\\", {x86 + office + "root\\office16\\outlook.exe"}},
        {"(nowhere, no Office folder)", {}},
        {"(nowhere, both Office folders with root\\)", {pf + office + "root\\x.dll", x86 + office + "root\\x.dll"}},
    };
    std::printf("\nCatalogue: Outlook's search below Program Files (PF) and the 32-bit folder (PF86)\n");
    std::printf("%-44s %11s %14s\n", "Outlook found in", "file tests", "folder probes");
    for (const OutlookCase& c : cases) {
        CountingFiles files;
        files.present = c.present;
        nimbrel::Catalogue catalogue;
        nimbrel::FillCatalogue(catalogue, files, pf, x86);
        std::printf("%-44s %11d %14d\n", c.label, files.checks, files.probes);
    }
    std::printf(
        "plus, while the toolbar is built, one install check for each of the 19 positions, and a second one\n"
        "in the 32-bit folder for each program not found in the first\n");
    return 0;
}
