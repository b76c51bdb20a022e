/* Keeps one Windows process alive for the whole benchmark, so that Wine's own background processes (the desktop
 * and the service manager) stay up between measured starts, as the shell and services do on Windows. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
    (void)instance;
    (void)previous;
    (void)command_line;
    (void)show;
    Sleep(INFINITE);
    return 0;
}
