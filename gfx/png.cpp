// The visible picture as a PNG file, written with libpng.
//
// Rows are read through the row table, as presentation does. Each 5-6-5
// channel is widened to 8 bits by repeating its top bits, so the 16-bit
// value of every pixel can be recovered from the file.
#include "gfx/png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx/pixels.h"
#include "gfx/screen.h"
#include "runtime/paths.h"

namespace {

// An 8-bit RGB copy of the picture.
struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<png_byte> bytes;  // 3 bytes a pixel, row after row
};

// Copy the picture into 8-bit RGB (call with the screen lock held).
void widen_picture(const GraphicsScreen& screen, RgbImage& image) {
  image.width = screen.width;
  image.height = screen.height;
  image.bytes.resize(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height) * 3);
  png_byte* out = image.bytes.data();
  for (int32_t y = 0; y < screen.height; ++y) {
    for (int32_t x = 0; x < screen.width; ++x, out += 3) {
      uint32_t pixel = get_pixel(screen, x, y);
      uint32_t r5 = (pixel >> 11) & 0x1F, g6 = (pixel >> 5) & 0x3F, b5 = pixel & 0x1F;
      out[0] = static_cast<png_byte>(r5 << 3 | r5 >> 2);
      out[1] = static_cast<png_byte>(g6 << 2 | g6 >> 4);
      out[2] = static_cast<png_byte>(b5 << 3 | b5 >> 2);
    }
  }
}

// Write an image to an open file; false when libpng reports an error.
bool write_png(const RgbImage& image, std::FILE* file) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < image.height; ++y) {
    png_write_row(png, image.bytes.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width) * 3);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
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
  std::FILE* file = open_path(path_from_utf8(path), "wb");
  if (file == nullptr) {
    if (error != nullptr) *error = path + ": " + std::strerror(errno);
    return false;
  }
  bool written = write_png(image, file);
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    if (error != nullptr) *error = path + ": the PNG file could not be written";
    return false;
  }
  return true;
}
