// The "GDI" back-end: an 800 x 600 window drawn with SetDIBitsToDevice. A
// 16-bit BI_RGB bitmap is 5-5-5, so the dirty rows are first converted into a
// side buffer; only the band from the first to the last dirty row is drawn.
#include <vector>

#include "gfx/driver.h"
#include "gfx/screen.h"
#include "gfx/windows/win_backend.h"

namespace {

// A bitmap header followed by its 256-entry colour table.
struct BitmapHeader {
  BITMAPINFOHEADER info;
  RGBQUAD colours[256];
};

struct GdiObjects {
  BitmapHeader header{};
  std::vector<uint8_t> side_buffer;  // the converted rows, top to bottom
  int32_t side_pitch = 0;            // bytes per converted row, a multiple of 4
};

GdiObjects gdi;

// Return the bits per pixel of the bitmap for a screen depth.
int32_t bitmap_bits(int32_t depth) {
  if (depth <= 8) return 8;
  if (depth <= 16) return 16;
  return 32;
}

// Describe the picture as a top-down bitmap and size the side buffer.
bool prepare_bitmap(WinState& s) {
  const int32_t bits = bitmap_bits(s.depth);
  const DisplayFormat format = bits == 8    ? DisplayFormat::palette8
                               : bits == 16 ? DisplayFormat::rgb15
                                            : DisplayFormat::rgb32;
  s.converter = choose_row_converter(bits, format);
  if (s.converter == nullptr) return false;
  BITMAPINFOHEADER& info = gdi.header.info;
  info = BITMAPINFOHEADER{};
  info.biSize = sizeof(BITMAPINFOHEADER);
  info.biWidth = s.width;
  info.biHeight = -s.height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<WORD>(bits);
  info.biCompression = BI_RGB;
  info.biClrUsed = 256;
  const int32_t even_width = (s.width + 1) & ~1;
  gdi.side_pitch = ((even_width * bits / 8) + 3) & ~3;
  gdi.side_buffer.assign(static_cast<size_t>(gdi.side_pitch) * s.height, 0);
  return true;
}

// Create the window; a GDI window cannot be full screen.
bool gdi_create() {
  WinState& s = win_state();
  if (s.flags & SCREEN_FULLSCREEN) return false;
  if (!prepare_bitmap(s)) return false;
  s.window = win_create_centred_window(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  if (s.window == nullptr) return false;
  HDC dc = GetDC(s.window);
  s.refresh_rate = GetDeviceCaps(dc, VREFRESH);
  ReleaseDC(s.window, dc);
  return true;
}

// Destroy the window and free the side buffer.
void gdi_destroy() {
  WinState& s = win_state();
  if (s.window != nullptr) DestroyWindow(s.window);
  s.window = nullptr;
  gdi.side_buffer.clear();
  gdi.side_buffer.shrink_to_fit();
}

// Convert the dirty lines and draw the band from the first to the last of them.
void gdi_present(GraphicsScreen* screen) {
  WinState& s = win_state();
  int32_t first = 0;
  int32_t last = 0;
  if (s.window == nullptr || gdi.side_buffer.empty() || !dirty_band(*screen, &first, &last)) return;
  const int32_t lines = screen->height * screen->line_multiplier;
  if (screen->width > s.width || lines > s.height) return;
  win_convert_band(screen, first, last, gdi.side_buffer.data(), gdi.side_pitch);
  // The band of output lines is drawn as a bitmap of its own height that starts at its first line.
  const int32_t count = last - first + 1;
  gdi.header.info.biHeight = -count;
  HDC dc = GetDC(s.window);
  SetDIBitsToDevice(dc, 0, first, static_cast<DWORD>(s.width), static_cast<DWORD>(count), 0, 0, 0,
                    static_cast<UINT>(count), gdi.side_buffer.data() + static_cast<size_t>(first) * gdi.side_pitch,
                    reinterpret_cast<const BITMAPINFO*>(&gdi.header), DIB_RGB_COLORS);
  ReleaseDC(s.window, dc);
}

// Copy the stored palette into the bitmap's colour table.
void gdi_send_palette() {
  const WinState& s = win_state();
  for (int i = 0; i < 256; ++i) {
    gdi.header.colours[i] = RGBQUAD{s.palette[i][2], s.palette[i][1], s.palette[i][0], 0};
  }
  mark_all_dirty();
}

// Repaint the whole picture at the next step.
void gdi_paint() { mark_all_dirty(); }

const WinBackend gdi_backend = {
    true, gdi_create, gdi_destroy, gdi_present, gdi_send_palette, gdi_paint, win_read_keyboard_state,
};

// Start the GDI back-end; refuses full screen and the OpenGL flag.
int32_t gdi_init(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh_rate,
                 int32_t flags) {
  if (flags & (SCREEN_OPENGL | SCREEN_FULLSCREEN)) return 1;
  return win_start(&gdi_backend, title, width, height, depth, refresh_rate, flags);
}

}  // namespace

extern const ScreenDriver gdi_driver = {
    "GDI",           gdi_init,      win_stop,      win_lock,      win_unlock,
    win_set_palette, win_wait_frame, win_get_mouse, win_set_mouse, win_set_window_title,
    nullptr,         nullptr,       nullptr,
};
