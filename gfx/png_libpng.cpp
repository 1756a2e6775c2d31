// PNG encoding with libpng, into memory.
#include <png.h>

#include <csetjmp>

#include "gfx/png.h"

namespace {

// Append what libpng writes to the string behind the write pointer.
void append_bytes(png_structp png, png_bytep data, png_size_t count) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), count);
}

// libpng's flush, for a sink that needs none.
void flush_nothing(png_structp /*png*/) {}

}  // namespace

bool encode_png(const RgbImage& image, std::string& out, Text& error) {
  out.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) {
    error = "libpng cannot start";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "libpng could not encode the picture";
    return false;
  }
  png_set_write_fn(png, &out, append_bytes, flush_nothing);
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
