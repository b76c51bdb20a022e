#include <cstdint>
#include <memory>

#include "app/frmMain.h"

namespace nimbrel {

void frmMain::cmdBar_RequestNewInstance(std::int16_t /*index*/, CommandBar*& slot) {
    slot = nullptr;
    const int highest = cmdBar.back()->Index();
    // Elements are numbered with 16-bit indexes: once 32767 is taken, further requests are refused.
    if (highest >= INT16_MAX)
        return;
    const auto n = static_cast<std::int16_t>(highest + 1);
    cmdBar.push_back(std::make_unique<CommandBar>(n, *this, platform_.barViews));
    cmdBar.back()->SetAlignment(std::nullopt);
    slot = cmdBar.back().get();
}

}  // namespace nimbrel
