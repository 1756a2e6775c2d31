// The picture as a PNG file, read back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "gfx/png.h"
#include "gfx/text.h"
#include "tests/gfx/support.h"

namespace {

// Read an 8-bit RGB PNG into `rgb`; false when it is not one.
bool read_png(const std::string& path, int32_t* width, int32_t* height, std::vector<uint8_t>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  return true;
}

}  // namespace

TEST_F(HeadlessScreen, PngKeepsEveryPixel) {
  // Every 16-bit value somewhere, then a scroll so that the row table is rotated.
  uint32_t state = 12345;
  for (int32_t y = 0; y < 600; ++y) {
    for (int32_t x = 0; x < 800; ++x) {
      state = state * 1103515245u + 12345u;
      uint16_t value = static_cast<uint16_t>(y < 82 ? y * 800 + x : state >> 16);
      std::memcpy(screen().rows[y] + x * 2, &value, 2);
    }
  }
  set_text_window(3, 20);
  locate(20, 1, -1);
  print_to_screen("\n", 1, 0);

  std::string path = (std::filesystem::temp_directory_path() / "testnuv_gfx_png_test.png").string();
  Text error;
  ASSERT_TRUE(save_screen_png(path, &error)) << error;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(read_png(path, &width, &height, rgb));
  std::remove(path.c_str());
  ASSERT_EQ(width, 800);
  ASSERT_EQ(height, 600);
  for (int32_t y = 0; y < 600; ++y) {
    for (int32_t x = 0; x < 800; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * 800 + x) * 3];
      uint16_t value = static_cast<uint16_t>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
      ASSERT_EQ(value, pixel_at(x, y)) << x << "," << y;
    }
  }
}

TEST_F(HeadlessScreen, PngReportsWhatFails) {
  Text error;
  EXPECT_FALSE(save_screen_png("/nonexistent-dir/x.png", &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
  release_screen();
  EXPECT_FALSE(save_screen_png("/tmp/never.png", &error));
  EXPECT_FALSE(error.empty());
}

