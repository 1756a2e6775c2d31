// The visible picture as a PNG file: the picture widened to 8-bit RGB, encoded
// by the platform's library (encode_png), written to the file.
//
// Rows are read through the row table, as presentation does. Each 5-6-5
// channel is widened to 8 bits by repeating its top bits, so the 16-bit
// value of every pixel can be recovered from the file.
#include "gfx/png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "gfx/pixels.h"
#include "gfx/screen.h"
#include "runtime/paths.h"

namespace {

// Copy the picture into 8-bit RGB (call with the screen lock held).
void widen_picture(const GraphicsScreen& screen, RgbImage& image) {
  image.width = screen.width;
  image.height = screen.height;
  image.bytes.resize(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height) * 3);
  uint8_t* out = image.bytes.data();
  for (int32_t y = 0; y < screen.height; ++y) {
    for (int32_t x = 0; x < screen.width; ++x, out += 3) {
      uint32_t pixel = get_pixel(screen, x, y);
      uint32_t r5 = (pixel >> 11) & 0x1F, g6 = (pixel >> 5) & 0x3F, b5 = pixel & 0x1F;
      out[0] = static_cast<uint8_t>(r5 << 3 | r5 >> 2);
      out[1] = static_cast<uint8_t>(g6 << 2 | g6 >> 4);
      out[2] = static_cast<uint8_t>(b5 << 3 | b5 >> 2);
    }
  }
}

}  // namespace

bool save_screen_png(const Text& path, Text* error) {
  const GraphicsScreen* screen = current_screen();
  if (screen == nullptr || screen->depth != 16) {
    if (error != nullptr) *error = "no 16-bit screen is open";
    return false;
  }
  RgbImage image;
  lock_screen();
  widen_picture(*screen, image);
  unlock_screen();
  std::string png;
  Text reason;
  if (!encode_png(image, png, reason)) {
    if (error != nullptr) *error = path + ": " + reason;
    return false;
  }
  std::FILE* file = open_path(path_from_utf8(path), "wb");
  if (file == nullptr) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    return false;
  }
  bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    if (error != nullptr) *error = path + ": the PNG file could not be written";
    return false;
  }
  return true;
}
