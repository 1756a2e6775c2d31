// Find the experiment's 800x600 picture in a screenshot (binary PPM) and check
// its fixed parts: the two green gradient bars, the raster and graph colours,
// the title line, and one plotted second. Colours are compared on their top
// five bits per channel, which every display format keeps.
//
// Usage: wine_picture_check SHOT.ppm [--at X Y | --centred-x] [--plotted] [--count]
// Prints the picture's origin as "X Y" and, with --count, the number of seconds
// plotted in the raster on a second line; exit code 0 when every check passes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

// Read a binary PPM (P6, maxval 255).
bool read_ppm(const char* path, Image* image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> image->width >> image->height >> maxval;
  if (!in || magic != "P6" || maxval != 255) return false;
  in.get();
  image->rgb.resize(static_cast<size_t>(image->width) * image->height * 3);
  in.read(reinterpret_cast<char*>(image->rgb.data()), static_cast<std::streamsize>(image->rgb.size()));
  return static_cast<bool>(in);
}

// Compare two colours on the top five bits of each channel.
bool same(uint32_t shown, uint32_t expected) {
  return shown != 0xFFFFFFFFu && (shown & 0xF8F8F8) == (expected & 0xF8F8F8);
}

// The background colour of gradient cell i (1 to 99) of the upper or lower bar.
uint32_t upper_bar(int i) { return static_cast<uint32_t>(2 * i + 50) << 8; }
uint32_t lower_bar(int i) { return static_cast<uint32_t>(255 - 2 * i) << 8; }

// Tell whether the upper bar's 99 cells start at device pixel (x, y).
bool upper_bar_at(const Image& img, int x, int y) {
  for (int i = 1; i <= 99; ++i) {
    const int cx = x + 8 * (i - 1);
    if (!same(img.at(cx, y), upper_bar(i)) || !same(img.at(cx + 7, y + 15), upper_bar(i))) return false;
  }
  return true;
}

// Find the picture by its upper gradient bar (picture row 240).
bool locate(const Image& img, int* ox, int* oy) {
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      if (same(img.at(x, y), upper_bar(1)) && upper_bar_at(img, x, y)) {
        *ox = x;
        *oy = y - 240;
        return true;
      }
    }
  }
  return false;
}

int failures = 0;

// Report a failed check.
void fail(const char* what, int x, int y, uint32_t shown, uint32_t expected) {
  std::fprintf(stderr, "wine_picture_check: %s at (%d, %d): 0x%06X, expected 0x%06X\n", what, x, y, shown, expected);
  ++failures;
}

// Check one picture pixel against a colour.
void expect(const Image& img, int ox, int oy, int x, int y, uint32_t colour, const char* what) {
  const uint32_t shown = img.at(ox + x, oy + y);
  if (!same(shown, colour)) fail(what, x, y, shown, colour);
}

// Count the pixels of a colour in a band of picture rows.
int count_colour(const Image& img, int ox, int oy, int y0, int y1, uint32_t colour) {
  int count = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = 0; x < 800; ++x) count += same(img.at(ox + x, oy + y), colour) ? 1 : 0;
  }
  return count;
}

// Check the fixed parts of the layout.
void check_layout(const Image& img, int ox, int oy) {
  for (int i = 1; i <= 99; ++i) {
    expect(img, ox, oy, 8 * i - 4, 248, upper_bar(i), "upper gradient bar");
    expect(img, ox, oy, 8 * i - 4, 536, lower_bar(i), "lower gradient bar");
  }
  const int raster_x[] = {5, 100, 365, 700, 719};
  const int raster_y[] = {32, 60, 89, 90};
  for (int x : raster_x) {
    for (int y : raster_y) expect(img, ox, oy, x, y, 0x00CC00, "raster background");
  }
  expect(img, ox, oy, 31, 60, 0x00AA00, "half-hour line");
  expect(img, ox, oy, 300, 130, 0x000044, "fluctuation graph");
  expect(img, ox, oy, 300, 145, 0x008800, "graph centre line");
  expect(img, ox, oy, 722, 60, 0x000000, "right of the raster");
  if (count_colour(img, ox, oy, 544, 559, 0xFF9966) < 200) fail("title line colour missing", 0, 544, 0, 0xFF9966);
  if (count_colour(img, ox, oy, 544, 559, 0xAA3311) < 5) fail("title \"::\" colour missing", 0, 544, 0, 0xAA3311);
  if (count_colour(img, ox, oy, 560, 575, 0x66FF66) < 200) fail("credit line colour missing", 0, 560, 0, 0x66FF66);
}

// Check that the first second is plotted at raster (0, 0) in a verdict colour.
void check_plotted(const Image& img, int ox, int oy) {
  const uint32_t shown = img.at(ox + 1, oy + 30);
  if (!same(shown, 0x4444FF) && !same(shown, 0xFF4444) && !same(shown, 0xFFFFFF)) {
    fail("first second not plotted", 1, 30, shown, 0x4444FF);
  }
}

// Count the seconds plotted in the raster (device x 1 to 721, y 30 to 89) in a verdict colour.
int count_plotted(const Image& img, int ox, int oy) {
  int count = 0;
  for (int y = 30; y <= 89; ++y) {
    for (int x = 1; x <= 721; ++x) {
      const uint32_t shown = img.at(ox + x, oy + y);
      count += same(shown, 0x4444FF) || same(shown, 0xFF4444) || same(shown, 0xFFFFFF) ? 1 : 0;
    }
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: wine_picture_check SHOT.ppm [--at X Y | --centred-x] [--plotted] [--count]\n");
    return 2;
  }
  Image img;
  if (!read_ppm(argv[1], &img)) {
    std::fprintf(stderr, "wine_picture_check: cannot read %s\n", argv[1]);
    return 2;
  }
  int ox = 0;
  int oy = 0;
  if (!locate(img, &ox, &oy)) {
    std::fprintf(stderr, "wine_picture_check: no gradient bar in the %dx%d screenshot\n", img.width, img.height);
    return 1;
  }
  std::printf("%d %d\n", ox, oy);
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--at") == 0 && i + 2 < argc) {
      const int want_x = std::atoi(argv[i + 1]);
      const int want_y = std::atoi(argv[i + 2]);
      if (ox != want_x || oy != want_y) fail("picture origin", ox, oy, 0, 0);
      i += 2;
    } else if (std::strcmp(argv[i], "--centred-x") == 0) {
      if (ox != (img.width - 800) / 2) fail("picture not centred", ox, oy, 0, 0);
    } else if (std::strcmp(argv[i], "--plotted") == 0) {
      check_plotted(img, ox, oy);
    } else if (std::strcmp(argv[i], "--count") == 0) {
      std::printf("%d\n", count_plotted(img, ox, oy));
    }
  }
  check_layout(img, ox, oy);
  return failures == 0 ? 0 : 1;
}
