// The visible picture as a PNG file.
//
// The picture is widened to 8-bit RGB here; the PNG encoding is the platform's
// own library's: png_libpng.cpp (libpng), png_windows.cpp (Windows Imaging
// Component), so the Windows build needs no libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.h"

// Write the visible page as an 800x600 8-bit RGB PNG; channels widened by repeating
// their top bits. Returns false with `error` set when it cannot.
bool save_screen_png(const Text& path, Text* error);

// An 8-bit RGB picture.
struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;  // 3 bytes a pixel (red, green, blue), row after row
};

// Encode an image as the bytes of a PNG file; false with `error` set when the
// platform's encoder fails.
bool encode_png(const RgbImage& image, std::string& png, Text& error);
