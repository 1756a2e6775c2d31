// The "DirectX" back-end: DirectDraw full screen (with the display-mode
// search and the picture centred in a taller mode) or a window with a back
// surface and clipper, and a DirectInput keyboard for the key-state table.
//
// ddraw.dll and dinput.dll are loaded at run time; without them init refuses
// and the next back-end is tried.
#include "gfx/driver.h"
#include "gfx/screen.h"
#include "gfx/windows/win_backend.h"

namespace {

using DirectDrawCreateFn = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
using DirectInputCreateFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, LPDIRECTINPUTA*, IUnknown*);

// Heights tried, in turn, when no mode of the picture's height exists.
constexpr int32_t TALLER_HEIGHTS[] = {240, 480, 600, 768, 1024};

// The DirectDraw and DirectInput objects of the open screen.
struct DirectXObjects {
  HMODULE ddraw_library = nullptr;
  HMODULE dinput_library = nullptr;
  IDirectDraw2* draw = nullptr;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;      // the picture in a window; none in full screen
  IDirectDrawClipper* clipper = nullptr;
  IDirectDrawPalette* palette = nullptr;   // 8-bit displays
  IDirectInputA* input = nullptr;
  IDirectInputDeviceA* keyboard = nullptr;
  bool full_screen = false;
  bool mode_set = false;                   // a display mode was set and must be restored
  int32_t shift_rows = 0;                  // picture rows below the top of a taller mode
};

DirectXObjects dx;

// Return the depth to try when the screen's own depth has no display mode (0: none).
int32_t alternative_depth(int32_t depth) {
  switch (depth) {
    case 16: return 15;
    case 15: return 16;
    case 24: return 32;
    case 32: return 24;
    default: return 0;
  }
}

// Return the depth of the picture's pixels for a screen depth.
int32_t picture_depth(int32_t depth) {
  if (depth == 15 || depth == 16) return 16;
  if (depth == 24 || depth == 32) return 32;
  return depth;
}

// Set width x height at the screen's depth or its alternative, going to taller heights.
bool set_display_mode(const WinState& s) {
  const DWORD depths[2] = {static_cast<DWORD>(s.depth), static_cast<DWORD>(alternative_depth(s.depth))};
  int32_t height = s.height;
  for (;;) {
    for (DWORD depth : depths) {
      if (depth == 0) continue;
      if (SUCCEEDED(dx.draw->SetDisplayMode(s.width, height, depth, s.refresh_rate, 0))) {
        dx.mode_set = true;
        dx.shift_rows = (height - s.height) / 2;
        return true;
      }
    }
    int32_t next = 0;
    for (int32_t taller : TALLER_HEIGHTS) {
      if (taller > height) {
        next = taller;
        break;
      }
    }
    if (next == 0) return false;
    height = next;
  }
}

// Load the libraries and create the DirectDraw (IDirectDraw2) and DirectInput objects.
bool create_directx_objects() {
  dx.ddraw_library = LoadLibraryA("ddraw.dll");
  dx.dinput_library = LoadLibraryA("dinput.dll");
  if (dx.ddraw_library == nullptr || dx.dinput_library == nullptr) return false;
  auto draw_create = reinterpret_cast<DirectDrawCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(dx.ddraw_library, "DirectDrawCreate")));
  auto input_create = reinterpret_cast<DirectInputCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(dx.dinput_library, "DirectInputCreateA")));
  if (draw_create == nullptr || input_create == nullptr) return false;
  IDirectDraw* first = nullptr;
  if (FAILED(draw_create(nullptr, &first, nullptr))) return false;
  const HRESULT asked = first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dx.draw));
  first->Release();
  if (FAILED(asked)) return false;
  return SUCCEEDED(input_create(GetModuleHandleA(nullptr), 0x0300, &dx.input, nullptr));
}

// Create the primary surface.
bool create_primary_surface() {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  return SUCCEEDED(dx.draw->CreateSurface(&desc, &dx.primary, nullptr));
}

// Make the full-screen window, take the display and set the mode.
bool create_full_screen(WinState& s) {
  s.window = CreateWindowExA(0, s.class_name, s.title, WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (s.window == nullptr) return false;
  if (FAILED(dx.draw->SetCooperativeLevel(s.window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT))) {
    return false;
  }
  return set_display_mode(s) && create_primary_surface();
}

// Make the window with its clipped primary surface and the off-screen back surface.
bool create_windowed(WinState& s) {
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (!(s.flags & SCREEN_NO_SWITCH)) style |= WS_MAXIMIZEBOX;
  s.window = win_create_centred_window(style);
  if (s.window == nullptr) return false;
  if (FAILED(dx.draw->SetCooperativeLevel(s.window, DDSCL_NORMAL))) return false;
  if (!create_primary_surface()) return false;
  if (FAILED(dx.draw->CreateClipper(0, &dx.clipper, nullptr))) return false;
  if (FAILED(dx.clipper->SetHWnd(0, s.window)) || FAILED(dx.primary->SetClipper(dx.clipper))) return false;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = static_cast<DWORD>(s.width);
  desc.dwHeight = static_cast<DWORD>(s.height);
  return SUCCEEDED(dx.draw->CreateSurface(&desc, &dx.back, nullptr));
}

// Fill DirectDraw palette entries from the stored palette.
void fill_palette_entries(const WinState& s, PALETTEENTRY* entries) {
  for (int i = 0; i < 256; ++i) {
    entries[i].peRed = s.palette[i][0];
    entries[i].peGreen = s.palette[i][1];
    entries[i].peBlue = s.palette[i][2];
    entries[i].peFlags = 0;
  }
}

// Choose the row converter for the primary surface's format; attach a palette at 8 bits.
bool choose_converter(WinState& s) {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(format);
  if (FAILED(dx.primary->GetPixelFormat(&format))) return false;
  const int32_t bits = (format.dwFlags & DDPF_PALETTEINDEXED8) ? 8 : static_cast<int32_t>(format.dwRGBBitCount);
  s.converter = choose_row_converter(picture_depth(s.depth),
                                     classify_display(bits, format.dwRBitMask, format.dwGBitMask));
  if (s.converter == nullptr) return false;
  if (bits != 8) return true;
  PALETTEENTRY entries[256];
  fill_palette_entries(s, entries);
  if (FAILED(dx.draw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &dx.palette, nullptr))) return false;
  return SUCCEEDED(dx.primary->SetPalette(dx.palette));
}

// The keyboard as 256 optional buttons, one byte each (the standard keyboard format).
const DIDATAFORMAT* keyboard_format() {
  static DIOBJECTDATAFORMAT objects[256];
  static DIDATAFORMAT format;
  if (format.dwSize == 0) {
    for (DWORD i = 0; i < 256; ++i) {
      objects[i] = DIOBJECTDATAFORMAT{&GUID_Key, i, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i) | DIDFT_OPTIONAL, 0};
    }
    format = DIDATAFORMAT{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, objects};
  }
  return &format;
}

// Create and acquire the DirectInput keyboard device.
bool create_keyboard(WinState& s) {
  if (FAILED(dx.input->CreateDevice(GUID_SysKeyboard, &dx.keyboard, nullptr))) return false;
  if (FAILED(dx.keyboard->SetDataFormat(const_cast<DIDATAFORMAT*>(keyboard_format())))) return false;
  if (FAILED(dx.keyboard->SetCooperativeLevel(s.window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) return false;
  dx.keyboard->Acquire();  // may fail until the window has the focus; retried while reading
  return true;
}

// Create the window and all DirectX objects for the flags in force.
bool directx_create() {
  WinState& s = win_state();
  dx = DirectXObjects{};
  if (!create_directx_objects()) return false;
  dx.full_screen = (s.flags & SCREEN_FULLSCREEN) != 0;
  if (!(dx.full_screen ? create_full_screen(s) : create_windowed(s))) return false;
  if (!choose_converter(s)) return false;
  DWORD frequency = 0;
  if (SUCCEEDED(dx.draw->GetMonitorFrequency(&frequency))) s.refresh_rate = static_cast<int32_t>(frequency);
  SetForegroundWindow(s.window);
  return create_keyboard(s);
}

// Release a COM object and forget it.
template <typename T>
void release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// Clear the full-screen display to black before the mode is given back.
void clear_primary() {
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0;
  dx.primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// Destroy the window and every DirectX object, restoring the display in full screen.
void directx_destroy() {
  WinState& s = win_state();
  if (dx.keyboard != nullptr) dx.keyboard->Unacquire();
  release(dx.keyboard);
  release(dx.input);
  if (dx.full_screen && dx.primary != nullptr) clear_primary();
  if (dx.mode_set) dx.draw->RestoreDisplayMode();
  dx.mode_set = false;
  if (dx.draw != nullptr && s.window != nullptr) dx.draw->SetCooperativeLevel(s.window, DDSCL_NORMAL);
  release(dx.palette);
  release(dx.clipper);
  release(dx.back);
  release(dx.primary);
  if (s.window != nullptr) DestroyWindow(s.window);
  s.window = nullptr;
  release(dx.draw);
  if (dx.dinput_library != nullptr) FreeLibrary(dx.dinput_library);
  if (dx.ddraw_library != nullptr) FreeLibrary(dx.ddraw_library);
  dx.dinput_library = nullptr;
  dx.ddraw_library = nullptr;
}

// Restore a lost surface; its contents are gone, so everything is drawn again.
void restore_if_lost(IDirectDrawSurface* surface) {
  if (surface != nullptr && surface->IsLost() == DDERR_SURFACELOST && SUCCEEDED(surface->Restore())) {
    mark_all_dirty();
  }
}

RECT last_copied{};  // the client area, in screen coordinates, that the back surface was last copied to

// Return the window's client area in screen coordinates; false when it has none.
bool client_on_screen(RECT* client) {
  WinState& s = win_state();
  if (!GetClientRect(s.window, client) || client->right <= 0 || client->bottom <= 0) return false;
  MapWindowPoints(s.window, nullptr, reinterpret_cast<POINT*>(client), 2);
  return true;
}

// Copy the back surface onto the window's client area.
void copy_back_to_window() {
  WinState& s = win_state();
  RECT client;
  if (dx.back == nullptr || dx.primary == nullptr || s.window == nullptr || !client_on_screen(&client)) return;
  dx.primary->Blt(&client, dx.back, nullptr, DDBLT_WAIT, nullptr);
  last_copied = client;
}

// Tell whether the client area stands elsewhere than at the last copy.
bool window_moved() {
  RECT client;
  if (win_state().window == nullptr || !client_on_screen(&client)) return false;
  return client.left != last_copied.left || client.top != last_copied.top || client.right != last_copied.right ||
         client.bottom != last_copied.bottom;
}

// Lock the drawing surface and convert the dirty rows into it; nothing is locked while no
// row is marked, and a failed lock keeps the marks. Returns whether rows were converted.
bool convert_dirty_rows(GraphicsScreen* screen, IDirectDrawSurface* target) {
  int32_t first = 0;
  int32_t last = 0;
  if (!dirty_band(*screen, &first, &last)) return false;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  if (FAILED(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return false;
  bool converted = false;
  const int32_t lines = screen->height * screen->line_multiplier;
  if (desc.lpSurface != nullptr && static_cast<int32_t>(desc.dwWidth) >= screen->width &&
      static_cast<int32_t>(desc.dwHeight) >= dx.shift_rows + lines) {
    uint8_t* top_row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<intptr_t>(dx.shift_rows) * desc.lPitch;
    win_convert_band(screen, first, last, top_row, desc.lPitch);
    converted = true;
  }
  target->Unlock(desc.lpSurface);
  return converted;
}

// Convert the dirty rows into the drawing surface; in a window, show the back surface
// when it changed or the window moved (uncovering is repainted through WM_PAINT).
void directx_present(GraphicsScreen* screen) {
  WinState& s = win_state();
  if (dx.primary == nullptr || (dx.full_screen && !s.active)) return;
  restore_if_lost(dx.primary);
  restore_if_lost(dx.back);
  const bool converted = convert_dirty_rows(screen, dx.full_screen ? dx.primary : dx.back);
  if (!dx.full_screen && (converted || window_moved())) copy_back_to_window();
}

// Send the stored palette to the DirectDraw palette.
void directx_send_palette() {
  if (dx.palette == nullptr) return;
  PALETTEENTRY entries[256];
  fill_palette_entries(win_state(), entries);
  dx.palette->SetEntries(0, 0, 256, entries);
}

// Repaint a window from the back surface at once.
void directx_paint() {
  if (!dx.full_screen) copy_back_to_window();
}

// Refresh the key-state table from the DirectInput keyboard, re-acquiring it when lost.
void directx_read_keyboard(GraphicsScreen* screen) {
  if (dx.keyboard == nullptr) return;
  BYTE keys[256];
  const HRESULT result = dx.keyboard->GetDeviceState(sizeof(keys), keys);
  if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
    dx.keyboard->Acquire();
    return;
  }
  if (FAILED(result)) return;
  for (int i = 0; i < 128; ++i) screen->key_state[i] = (keys[i] & 0x80) ? 1 : 0;
}

const WinBackend directx_backend = {
    true, directx_create, directx_destroy, directx_present, directx_send_palette, directx_paint, directx_read_keyboard,
};

// Start the DirectX back-end; refuses the OpenGL flag.
int32_t directx_init(const char* title, int32_t width, int32_t height, int32_t depth, int32_t refresh_rate,
                     int32_t flags) {
  if (flags & SCREEN_OPENGL) return 1;
  return win_start(&directx_backend, title, width, height, depth, refresh_rate, flags);
}

// Wait for the display's vertical blank.
void directx_wait_vsync() {
  win_lock();
  if (dx.draw != nullptr) dx.draw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  win_unlock();
}

struct ModeList {
  int32_t* pairs;
  int32_t max;
  int32_t count;
};

// Collect one display mode's width and height.
HRESULT WINAPI collect_mode(LPDDSURFACEDESC desc, LPVOID context) {
  auto* list = static_cast<ModeList*>(context);
  if (list->count >= list->max) return DDENUMRET_CANCEL;
  list->pairs[list->count * 2] = static_cast<int32_t>(desc->dwWidth);
  list->pairs[list->count * 2 + 1] = static_cast<int32_t>(desc->dwHeight);
  ++list->count;
  return DDENUMRET_OK;
}

// List the display modes of a depth as width, height pairs.
int32_t directx_fetch_modes(int32_t depth, int32_t* pairs, int32_t max) {
  ModeList list{pairs, max, 0};
  win_lock();
  if (dx.draw != nullptr && pairs != nullptr && max > 0) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(depth);
    dx.draw->EnumDisplayModes(0, &desc, &list, collect_mode);
  }
  win_unlock();
  return list.count;
}

}  // namespace

extern const ScreenDriver directx_driver = {
    "DirectX",          directx_init,     win_stop,         win_lock,       win_unlock,
    win_set_palette,    directx_wait_vsync, win_get_mouse,  win_set_mouse,  win_set_window_title,
    directx_fetch_modes, nullptr,         nullptr,
};
