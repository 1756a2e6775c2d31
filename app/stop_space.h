// The space that a stop request puts into the key queue, shared by the
// platforms' watchers (stop_requests_posix.cpp, stop_requests_windows.cpp).
//
// Watchers run on threads of their own, so the space goes in under the open
// back-end's lock, the lock its presentation thread adds keys under.
#pragma once

#include "gfx/driver.h"
#include "gfx/keys.h"
#include "gfx/screen.h"

// Put a space into the key queue under the screen lock; false when no screen with a back-end is open.
inline bool queue_stop_space() {
  GraphicsScreen* screen = current_screen();
  if (screen == nullptr || screen->driver == nullptr) return false;
  const ScreenDriver* driver = screen->driver;
  if (driver->lock != nullptr) driver->lock();
  add_key(' ');
  if (driver->unlock != nullptr) driver->unlock();
  return true;
}
