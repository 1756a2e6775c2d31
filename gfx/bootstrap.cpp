// The bootstrap table: the platform's presentation back-ends in the order
// that open_screen tries them. Each back-end lives in its own folder and
// defines one ScreenDriver; this file only lists them.
#include "gfx/driver.h"

#ifdef TESTNUV_HAVE_SDL
extern const ScreenDriver sdl_driver;
#endif
#ifdef _WIN32
extern const ScreenDriver directx_driver;
extern const ScreenDriver gdi_driver;
extern const ScreenDriver opengl_driver;
#endif

namespace {

const ScreenDriver* const platform_drivers[] = {
#ifdef _WIN32
    &directx_driver,
    &gdi_driver,
    &opengl_driver,
#endif
#ifdef TESTNUV_HAVE_SDL
    &sdl_driver,
#endif
    nullptr,
};

const ScreenDriver* const* installed_drivers = nullptr;  // a table set by set_screen_drivers

}  // namespace

const ScreenDriver* const* screen_drivers() {
  return installed_drivers != nullptr ? installed_drivers : platform_drivers;
}

void set_screen_drivers(const ScreenDriver* const* table) { installed_drivers = table; }
