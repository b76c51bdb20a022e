// A stand-in for a launched program or a document handler: it appends one line to C:\lab\log.txt
// naming itself and the command line it was given, then exits. The tag of the line tells which
// stand-in ran (RECORDER_KIND 0: a catalogued program, 1: a planted trap, 2: an association handler).
#include "lab_program.h"

#ifndef RECORDER_KIND
#define RECORDER_KIND 0
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    constexpr const wchar_t* kTags[] = {L"RUN", L"TRAP", L"OPEN"};
    return lab::AppendToLog(std::wstring(kTags[RECORDER_KIND]) + L"\t" + lab::ModulePath(nullptr) + L"\t" +
                            GetCommandLineW())
               ? 0
               : 1;
}
