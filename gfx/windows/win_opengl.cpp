// The "OpenGL" back-end: a window with an OpenGL context, made on the
// caller's thread, that shows the picture only when asked (flip). Chosen only
// with the OpenGL flag (bit 1), which the experiment never passes; without it
// init refuses and the next back-end is tried. opengl32.dll is loaded at run time.
#include <vector>

#include "gfx/driver.h"
#include "gfx/screen.h"
#include "gfx/windows/win_backend.h"

namespace {

constexpr unsigned GL_COLOR_BUFFER = 0x00004000;  // GL_COLOR_BUFFER_BIT
constexpr unsigned GL_BGRA_PIXELS = 0x80E1;       // GL_BGRA_EXT
constexpr unsigned GL_BYTES = 0x1401;             // GL_UNSIGNED_BYTE

// The entry points taken from opengl32.dll.
struct GlFunctions {
  HGLRC(WINAPI* create_context)(HDC);
  BOOL(WINAPI* make_current)(HDC, HGLRC);
  BOOL(WINAPI* delete_context)(HGLRC);
  void(WINAPI* viewport)(int, int, int, int);
  void(WINAPI* clear)(unsigned);
  void(WINAPI* raster_pos)(int, int);
  void(WINAPI* pixel_zoom)(float, float);
  void(WINAPI* draw_pixels)(int, int, unsigned, unsigned, const void*);
};

struct OpenGlObjects {
  HMODULE library = nullptr;
  GlFunctions gl{};
  HDC dc = nullptr;
  HGLRC context = nullptr;
  bool mode_set = false;        // the display mode was changed for full screen
  std::vector<uint32_t> frame;  // the picture as 32-bit pixels, top row first
};

OpenGlObjects ogl;

// Take one entry point from opengl32.dll.
template <typename T>
bool take(T* function, const char* name) {
  *function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(ogl.library, name)));
  return *function != nullptr;
}

// Load opengl32.dll and take the entry points this back-end uses.
bool load_opengl() {
  ogl.library = LoadLibraryA("opengl32.dll");
  if (ogl.library == nullptr) return false;
  GlFunctions& gl = ogl.gl;
  return take(&gl.create_context, "wglCreateContext") && take(&gl.make_current, "wglMakeCurrent") &&
         take(&gl.delete_context, "wglDeleteContext") && take(&gl.viewport, "glViewport") &&
         take(&gl.clear, "glClear") && take(&gl.raster_pos, "glRasterPos2i") &&
         take(&gl.pixel_zoom, "glPixelZoom") && take(&gl.draw_pixels, "glDrawPixels");
}

// Switch the display to width x height for full screen.
bool set_display_mode(const WinState& s) {
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  mode.dmPelsWidth = static_cast<DWORD>(s.width);
  mode.dmPelsHeight = static_cast<DWORD>(s.height);
  mode.dmBitsPerPel = static_cast<DWORD>(s.depth < 16 ? 16 : s.depth);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
  if (s.refresh_rate > 0) {
    mode.dmDisplayFrequency = static_cast<DWORD>(s.refresh_rate);
    mode.dmFields |= DM_DISPLAYFREQUENCY;
  }
  ogl.mode_set = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
  return ogl.mode_set;
}

// Give the window a double-buffered RGBA pixel format and make a current context.
bool create_context(HWND window) {
  ogl.dc = GetDC(window);
  PIXELFORMATDESCRIPTOR format{};
  format.nSize = sizeof(format);
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 24;
  const int chosen = ChoosePixelFormat(ogl.dc, &format);
  if (chosen == 0 || !SetPixelFormat(ogl.dc, chosen, &format)) return false;
  ogl.context = ogl.gl.create_context(ogl.dc);
  return ogl.context != nullptr && ogl.gl.make_current(ogl.dc, ogl.context);
}

// Create the window (full screen or centred) with its OpenGL context.
bool opengl_create() {
  WinState& s = win_state();
  ogl.mode_set = false;
  if (s.depth != 16 && s.depth != 15) return false;  // a 16-bit picture only
  if (!load_opengl()) return false;
  s.converter = choose_row_converter(16, DisplayFormat::rgb32);
  if (s.flags & SCREEN_FULLSCREEN) {
    if (!set_display_mode(s)) return false;
    s.window = CreateWindowExA(0, s.class_name, s.title, WS_POPUP | WS_VISIBLE, 0, 0, s.width, s.height, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  } else {
    s.window = win_create_centred_window(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  }
  if (s.window == nullptr || !create_context(s.window)) return false;
  ogl.frame.assign(static_cast<size_t>(s.width) * s.height, 0);
  ogl.gl.viewport(0, 0, s.width, s.height);
  return true;
}

// Release the context, give back the display mode and destroy the window.
void opengl_destroy() {
  WinState& s = win_state();
  if (ogl.context != nullptr) {
    ogl.gl.make_current(nullptr, nullptr);
    ogl.gl.delete_context(ogl.context);
  }
  ogl.context = nullptr;
  if (ogl.dc != nullptr && s.window != nullptr) ReleaseDC(s.window, ogl.dc);
  ogl.dc = nullptr;
  if (ogl.mode_set) ChangeDisplaySettingsA(nullptr, 0);
  ogl.mode_set = false;
  if (s.window != nullptr) DestroyWindow(s.window);
  s.window = nullptr;
  if (ogl.library != nullptr) FreeLibrary(ogl.library);
  ogl.library = nullptr;
  ogl.frame.clear();
}

// Convert the dirty rows into the frame and clear their marks.
void opengl_present(GraphicsScreen* screen) {
  const WinState& s = win_state();
  if (ogl.frame.empty() || screen->width != s.width || screen->height * screen->line_multiplier != s.height) return;
  int32_t first = 0;
  int32_t last = 0;
  if (!dirty_band(*screen, &first, &last)) return;
  win_convert_band(screen, first, last, reinterpret_cast<uint8_t*>(ogl.frame.data()), s.width * 4);
}

// Nothing to send: the picture has no palette at 16 bits.
void opengl_send_palette() {}

// Repaint everything at the next flip.
void opengl_paint() { mark_all_dirty(); }

const WinBackend opengl_backend = {
    false, opengl_create, opengl_destroy, opengl_present, opengl_send_palette, opengl_paint, win_read_keyboard_state,
};

// Start the OpenGL back-end; refuses unless the OpenGL flag is set.
int32_t opengl_init(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh_rate,
                    int32_t flags) {
  if (!(flags & SCREEN_OPENGL)) return 1;
  return win_start(&opengl_backend, title, width, height, depth, refresh_rate, flags);
}

// Show the picture: convert the changed rows, draw the frame, swap buffers, then handle messages.
void opengl_flip() {
  WinState& s = win_state();
  GraphicsScreen* screen = current_screen();
  if (ogl.context == nullptr || screen == nullptr) return;
  opengl_present(screen);
  ogl.gl.clear(GL_COLOR_BUFFER);
  ogl.gl.raster_pos(-1, 1);
  ogl.gl.pixel_zoom(1.0f, -1.0f);
  ogl.gl.draw_pixels(s.width, s.height, GL_BGRA_PIXELS, GL_BYTES, ogl.frame.data());
  SwapBuffers(ogl.dc);
  win_dispatch_messages();
  if (s.active) win_read_keyboard_state(screen);
}

// List the display modes of a depth as width, height pairs.
int32_t opengl_fetch_modes(int32_t depth, int32_t* pairs, int32_t max) {
  int32_t count = 0;
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  for (DWORD i = 0; count < max && EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
    if (static_cast<int32_t>(mode.dmBitsPerPel) != depth) continue;
    pairs[count * 2] = static_cast<int32_t>(mode.dmPelsWidth);
    pairs[count * 2 + 1] = static_cast<int32_t>(mode.dmPelsHeight);
    ++count;
  }
  return count;
}

// Without a presentation thread there is nothing to lock.
void opengl_nothing() {}

// Store a palette entry (unused by a 16-bit picture).
void opengl_set_palette(int32_t, int32_t, int32_t, int32_t) {}

}  // namespace

extern const ScreenDriver opengl_driver = {
    "OpenGL",           opengl_init,     win_stop,      opengl_nothing,     opengl_nothing,
    opengl_set_palette, win_wait_frame,  win_get_mouse, win_set_mouse,      win_set_window_title,
    opengl_fetch_modes, opengl_flip,     nullptr,
};
