// The launched program: a GUI program that ends at once and maps no DLL but
// KERNEL32, so that launching, not the child, is what gets timed.
#include <windows.h>

extern "C" void TrivialStartup(void)
{
    ExitProcess(0);
}
