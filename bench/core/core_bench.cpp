// Settings files of growing size parse in time linear in their size; the catalogue and the hiding pass
// make a bounded number of file checks. Prints a table.
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

class CountingFiles final : public nimbrel::IFileSystem {
public:
    nimbrel::ReadResult ReadTextFile(const std::string&) override { return {}; }
    bool WriteTextFile(const std::string&, const std::string&) override { return false; }
    nimbrel::ReadResult ReadFileBytes(const std::string&) override { return {}; }
    nimbrel::WriteResult ReplaceFileBytes(const std::string&, const std::string&) override { return {}; }
    bool IsOrdinaryFile(const std::string& path) override {
        ++checks;
        return path == present;
    }
    int checks = 0;
    std::string present;
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

    std::printf("\nCatalogue file checks (at most 100 for Outlook)\n");
    std::printf("%-34s %6s\n", "Outlook found in", "checks");
    const char* const places[] = {"\\microsoft office\\office\\", "\\microsoft office\\office11\\",
                                  "\\microsoft office\\office99\\", nullptr};
    for (const char* place : places) {
        CountingFiles files;
        if (place != nullptr)
            files.present = std::string("C:\\PF") + place + "outlook.exe";
        nimbrel::Catalogue catalogue;
        nimbrel::FillCatalogue(catalogue, files, "C:\\PF");
        std::printf("%-34s %6d\n", place != nullptr ? place : "(nowhere)", files.checks);
    }
    std::printf("plus one install check for each of the 19 positions while the toolbar is built\n");
    return 0;
}
