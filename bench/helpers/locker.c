/* Holds a file open with no sharing at all, as another program might: "locker PATH SECONDS".
 * Once the handle is held it creates C:\bench\locker-ready.txt, so that a
 * test can wait for the lock before it starts the bar. Exit status 3 when the file cannot be opened. */
#include <windows.h>

#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    HANDLE file =
        CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    HANDLE ready =
        CreateFileW(L"C:\\bench\\locker-ready.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready != INVALID_HANDLE_VALUE) {
        CloseHandle(ready);
    }
    Sleep((DWORD)wcstoul(argv[2], NULL, 10) * 1000u);
    CloseHandle(file);
    return 0;
}
