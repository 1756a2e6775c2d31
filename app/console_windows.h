// The Windows headers that the programs' Windows files need, and no more: the
// console's control events (SetConsoleCtrlHandler) and Sleep. Lean, without
// the window system, DirectDraw or DirectInput of the back-ends' gfx/windows/win_api.h.
#pragma once

#include <windows.h>
