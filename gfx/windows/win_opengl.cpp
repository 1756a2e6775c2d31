// The "OpenGL" back-end. Chosen only with the OpenGL flag (bit 1), which the
// experiment never passes; without it init refuses and the next back-end is tried.
#include "gfx/driver.h"
#include "gfx/windows/win_backend.h"

namespace {

// Refuse unless the OpenGL flag is set.
int32_t opengl_init(const char*, int32_t, int32_t, int32_t, int32_t, int32_t flags) {
  if (!(flags & SCREEN_OPENGL)) return 1;
  return 1;
}

// Nothing to undo: init never starts anything.
void opengl_exit() {}

// Without a presentation thread there is nothing to lock.
void opengl_nothing() {}

}  // namespace

extern const ScreenDriver opengl_driver = {
    "OpenGL", opengl_init, opengl_exit, opengl_nothing, opengl_nothing, nullptr,
    nullptr,  nullptr,     nullptr,     nullptr,        nullptr,        nullptr,
    nullptr,
};
