// Any bytes as a settings file and any choice: the rewrite must keep the round trip (read after write gives the
// change and nothing else). The first two bytes choose the change, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SettingsRoundTrip.h"
#include "settings/SettingsRewrite.h"

namespace {

constexpr nimbrel::Edge kEdges[] = {nimbrel::Edge::Top, nimbrel::Edge::Right, nimbrel::Edge::Bottom,
                                    nimbrel::Edge::Left};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const unsigned keys = data[0] & 7U;
    const nimbrel::ChangedKeys changed{(keys & 1U) != 0, (keys & 2U) != 0, (keys & 4U) != 0};
    nimbrel::ChosenSettings now;
    // Styles 0 to 7: Classic, the three others and numbers the reader takes as 1.
    now.style = static_cast<std::int16_t>((data[0] >> 3) & 7U);
    now.dockEdge = kEdges[data[1] & 3U];
    const unsigned callBack = (data[1] >> 2) & 7U;
    now.callBackEdge = callBack < 4 ? std::optional<nimbrel::Edge>(kEdges[callBack]) : std::nullopt;

    const std::string_view file(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string after = nimbrel::RewriteSettings(file, changed, now);
    const std::string fault = nimbrel::test::RoundTripFault(file, after, changed, now);
    if (!fault.empty()) {
        std::fprintf(stderr, "round trip broken: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
