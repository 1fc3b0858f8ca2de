// Program entry. The main window arrives with its own unit; until then the
// program only carries its resources.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
