// Any bytes as a settings file: the reader must end with upper-case position texts and a style of 0 to 3.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/BarSettings.h"

namespace {

bool HasLowerCase(const std::string& text) {
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    nimbrel::Settings settings{"TOP", "TOP", 0};
    nimbrel::ParseSettings(text, settings);
    if (HasLowerCase(settings.ToolbarPosition) || HasLowerCase(settings.PointerPosition))
        std::abort();
    if (settings.Style < 0 || settings.Style > 3)
        std::abort();
    // A STYLE line always leaves 1 to 3.
    if (text.find('=') == std::string_view::npos && settings.Style != 0)
        std::abort();
    return 0;
}
