// The visible picture as a PNG file.
#pragma once

#include "runtime/text.h"

// Write the visible page as an 800x600 8-bit RGB PNG; channels widened by repeating
// their top bits. Returns false with `error` set when it cannot.
bool save_screen_png(const Text& path, Text* error);
