/* A stand-in for a launched program that notes the moment it starts. Its entry point is the image's entry point
 * (no C runtime start-up runs before it), and its first action reads the precise system time; it then appends
 * "<unix ns>\t<command line>\r\n" to C:\bench\launch.txt and exits. Link with -nostartfiles -e StampEntry. */
#include <windows.h>

/* FILETIME counts 100 ns steps from 1601-01-01; this many of them lie before 1970-01-01. */
#define UNIX_EPOCH_IN_FILETIME 116444736000000000ULL

static unsigned Digits(unsigned long long value, char* out) {
    char reversed[24];
    unsigned count = 0;
    do {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (unsigned i = 0; i < count; ++i) {
        out[i] = reversed[count - 1 - i];
    }
    return count;
}

void __stdcall StampEntry(void) {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime;
    const unsigned long long unix_ns = (ticks - UNIX_EPOCH_IN_FILETIME) * 100ULL;

    char line[1200];
    unsigned length = Digits(unix_ns, line);
    line[length++] = '\t';
    const char* command = GetCommandLineA();
    for (unsigned i = 0; command[i] != '\0' && length < sizeof(line) - 3; ++i) {
        line[length++] = command[i];
    }
    line[length++] = '\r';
    line[length++] = '\n';

    UINT status = 2;
    for (int attempt = 0; attempt < 100 && status == 2; ++attempt) {
        HANDLE file = CreateFileW(L"C:\\bench\\launch.txt", FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            status = WriteFile(file, line, length, &written, NULL) && written == length ? 0 : 1;
            CloseHandle(file);
        } else {
            Sleep(20);
        }
    }
    ExitProcess(status);
}
