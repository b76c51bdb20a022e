# Writes a shipped text file: @PROJECT_VERSION@ replaced, Windows (CR LF) line ends.
#   cmake -DIN=<source> -DOUT=<target> -DPROJECT_VERSION=<x.y.z> -P TextFile.cmake
if(NOT EXISTS "${IN}")
    message(FATAL_ERROR "Missing ${IN}: it is shipped in every package")
endif()
file(READ "${IN}" text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}.tmp" "${text}")
file(RENAME "${OUT}.tmp" "${OUT}")
