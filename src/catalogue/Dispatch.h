// What a click on a button of a given cmdBar element does.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/ProgramCatalogue.h"

namespace nimbrel {

inline constexpr const char* kAboutMeAddress = "http://www.nimbrel.org/";
inline constexpr const char* kAltaVistaAddress = "http://www.altavista.com/";
inline constexpr const char* kYahooAddress = "http://www.yahoo.com/";
inline constexpr const char* kGoogleAddress = "http://www.google.com/";
inline constexpr const char* kHelpDocument = "/nimbrel.pdf";

struct Command {
    enum class Kind {
        Nothing,
        Exit,
        Applet,  // argument: the control-panel applet's file name
        Open,    // argument: an address or a document path
        Launch,  // argument: the program's full path, ".exe" included
    };
    Kind kind = Kind::Nothing;
    std::string argument;

    bool operator==(const Command&) const = default;
};

Command DecideCommand(std::int16_t index,
                      const std::string& key,
                      const Catalogue& catalogue,
                      const std::string& programFilesDir,
                      const std::string& executableFolder);

}  // namespace nimbrel
