// The one way into the Windows headers for the back-ends in this folder.
//
// windows.h defines macros (DrawText, Rectangle...) that leak into
// every namespace, so it is included here and nowhere else in gfx/; the
// DirectDraw and DirectInput declarations come with it. Nothing is linked for
// them: the back-end loads ddraw.dll and dinput.dll at run time.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0300
#endif

#include <windows.h>

#include <ddraw.h>
#include <dinput.h>
