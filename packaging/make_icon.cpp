// make_icon: draw the program's icon once and write it as SVG and as a 48x48 PNG.
//
// The drawing is a few rounded boxes and dots on a 48-unit square, after the
// program's own picture: a raster of seconds coloured by their verdict above a
// fluctuation graph with its checkpoint dots. The PNG is rendered with 4x4
// samples a pixel, so edges are smooth and the rounded corners transparent.
// Usage: make_icon ICON.svg [ICON.png]
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef TESTNUV_HAVE_PNG
#include <png.h>
#endif

namespace {

constexpr int ICON_SIZE = 48;     // units of the drawing, and pixels of the PNG
constexpr int SAMPLES = 4;        // samples per pixel along each axis
constexpr int RASTER_COLUMNS = 6;
constexpr int RASTER_ROWS = 3;

enum class ShapeKind { Box, Dot };

struct Shape {
  ShapeKind kind;
  double x, y, w, h;  // box: corner and size; dot: centre in x, y and radius in w
  double corner;      // box corner radius
  uint32_t colour;    // 0xRRGGBB
};

// Build the drawing, back to front.
std::vector<Shape> icon_shapes() {
  std::vector<Shape> shapes = {{ShapeKind::Box, 0, 0, ICON_SIZE, ICON_SIZE, 7, 0x000044}};
  const char verdicts[] = "gbrggr" "rgbgbg" "gggrbg";  // g balanced, r toward zero, b toward one
  for (int row = 0; row < RASTER_ROWS; ++row) {
    for (int column = 0; column < RASTER_COLUMNS; ++column) {
      const char v = verdicts[row * RASTER_COLUMNS + column];
      const uint32_t colour = v == 'r' ? 0xFF4444 : v == 'b' ? 0x4444FF : 0x00CC00;
      shapes.push_back({ShapeKind::Box, 6.0 + column * 6.2, 6.0 + row * 6.2, 5, 5, 1, colour});
    }
  }
  shapes.push_back({ShapeKind::Box, 5, 34.5, 38, 1.2, 0, 0x00AA00});
  const double dots[][3] = {{10, 29, 0}, {17, 39, 1}, {24, 31, 0}, {31, 38, 1}, {38, 28, 0}};
  for (const auto& d : dots) {
    shapes.push_back({ShapeKind::Dot, d[0], d[1], 3, 0, 0, d[2] == 0 ? 0xDD8888u : 0x8888DDu});
  }
  return shapes;
}

// Tell whether a point of the drawing lies inside a shape.
bool covers(const Shape& s, double px, double py) {
  if (s.kind == ShapeKind::Dot) {
    return (px - s.x) * (px - s.x) + (py - s.y) * (py - s.y) <= s.w * s.w;
  }
  if (px < s.x || py < s.y || px > s.x + s.w || py > s.y + s.h) return false;
  const double r = s.corner;
  const double cx = px < s.x + r ? s.x + r : px > s.x + s.w - r ? s.x + s.w - r : px;
  const double cy = py < s.y + r ? s.y + r : py > s.y + s.h - r ? s.y + s.h - r : py;
  return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
}

// Write the drawing as an SVG file; false when it could not be written.
bool write_svg(const std::vector<Shape>& shapes, const char* path) {
  std::FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f,
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
               "viewBox=\"0 0 %d %d\">\n",
               ICON_SIZE, ICON_SIZE, ICON_SIZE, ICON_SIZE);
  for (const Shape& s : shapes) {
    if (s.kind == ShapeKind::Dot) {
      std::fprintf(f, "  <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"#%06X\"/>\n", s.x, s.y, s.w,
                   static_cast<unsigned>(s.colour));
    } else {
      std::fprintf(f,
                   "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" "
                   "fill=\"#%06X\"/>\n",
                   s.x, s.y, s.w, s.h, s.corner, static_cast<unsigned>(s.colour));
    }
  }
  std::fputs("</svg>\n", f);
  const bool written = !std::ferror(f);
  return std::fclose(f) == 0 && written;
}

#ifdef TESTNUV_HAVE_PNG
// Render the drawing into RGBA rows, averaging the samples of each pixel.
std::vector<uint8_t> render(const std::vector<Shape>& shapes) {
  std::vector<uint8_t> rgba(ICON_SIZE * ICON_SIZE * 4);
  for (int y = 0; y < ICON_SIZE; ++y) {
    for (int x = 0; x < ICON_SIZE; ++x) {
      unsigned sum[4] = {0, 0, 0, 0};
      for (int sy = 0; sy < SAMPLES; ++sy) {
        for (int sx = 0; sx < SAMPLES; ++sx) {
          const double px = x + (sx + 0.5) / SAMPLES, py = y + (sy + 0.5) / SAMPLES;
          for (auto s = shapes.rbegin(); s != shapes.rend(); ++s) {
            if (!covers(*s, px, py)) continue;
            sum[0] += (s->colour >> 16) & 0xFF;
            sum[1] += (s->colour >> 8) & 0xFF;
            sum[2] += s->colour & 0xFF;
            sum[3] += 0xFF;
            break;
          }
        }
      }
      // Colour averaged over the covered samples only, so edges do not darken.
      const unsigned covered = sum[3] / 0xFF;
      uint8_t* p = &rgba[(y * ICON_SIZE + x) * 4];
      for (int c = 0; c < 3; ++c) p[c] = covered ? static_cast<uint8_t>(sum[c] / covered) : 0;
      p[3] = static_cast<uint8_t>(sum[3] / (SAMPLES * SAMPLES));
    }
  }
  return rgba;
}

// Write the rendered drawing as a PNG file; false when it could not be written.
bool write_png(const std::vector<Shape>& shapes, const char* path) {
  std::vector<uint8_t> rgba = render(shapes);
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = ICON_SIZE;
  image.height = ICON_SIZE;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr) != 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("uso: make_icon ICONO.svg [ICONO.png]\n", stderr);
    return 2;
  }
  const std::vector<Shape> shapes = icon_shapes();
  if (!write_svg(shapes, argv[1])) {
    std::fprintf(stderr, "make_icon: no se pudo escribir %s\n", argv[1]);
    return 1;
  }
#ifdef TESTNUV_HAVE_PNG
  if (argc == 3 && !write_png(shapes, argv[2])) {
    std::fprintf(stderr, "make_icon: no se pudo escribir %s\n", argv[2]);
    return 1;
  }
#endif
  return 0;
}
