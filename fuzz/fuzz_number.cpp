// Any bytes as a STYLE value: the number reader never fails and the style rule gives 1 to 3.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/BarSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = nimbrel::ReadStyleNumber(text);
    if (std::isnan(value))
        std::abort();
    const std::int16_t style = nimbrel::StyleFromValue(text);
    if (style < 1 || style > 3)
        std::abort();
    // Rounding never moves a value by more than a half.
    const double rounded = nimbrel::RoundHalfEven(value);
    if (std::isfinite(value) && std::fabs(rounded - value) > 0.5)
        std::abort();
    return 0;
}
