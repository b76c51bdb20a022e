// What a rewrite of the settings file must keep, checked by the unit tests and the fuzz target alike.
#pragma once

#include <string>
#include <string_view>

#include "settings/SettingsRewrite.h"

namespace nimbrel::test {

// Empty when after is a faithful rewrite of before for the changed keys and now; otherwise the first fault found.
// Read again, after gives now's values for the written keys (every key when before has a bare LF) and before's for
// the others; after has no bare LF; every other line is before's, byte for byte and in order (before's lines split
// at every line end, and those ends made CR LF, when before has a bare LF); each written key keeps its lines in
// place and its spelling, with now's value in every one of them, and gains one line at the end, in upper case and
// with the file's line end, only when it had none; Classic leaves no STYLE line.
std::string RoundTripFault(std::string_view before,
                           std::string_view after,
                           ChangedKeys changed,
                           const ChosenSettings& now);

}  // namespace nimbrel::test
