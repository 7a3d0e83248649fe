#include "app/shell.h"

HINSTANCE instanceHandle = nullptr;
ATOM instanceAtom = 0;
HWND mainWindow = nullptr;
