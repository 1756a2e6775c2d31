// The "Null" back-end: a screen that shows nothing and reads no keys.
//
// The smallest complete back-end, used headless (flags -1) and as the
// template for a new one. A real back-end must add:
//   - init: create the window (full screen or windowed by flags bit 0, refusing
//     what it cannot give), start a presentation thread and return 0 only once
//     the window exists; exit: stop and join that thread, destroy the window.
//   - lock/unlock: a recursive lock shared with the presentation thread. With
//     it every print leaves the rows whole when it drops the lock; without it
//     (Null) a freed text row's background may wait for the next lock_screen.
//   - the presentation step, about every 10 ms under the lock: show the rows of
//     current_screen() whose dirty mark is set (dirty_band gives the first and
//     last), reading row y from rows[y] (never from an offset into the page:
//     scrolling rotates the row table), converting 5-6-5 pixels, and clear the
//     marks.
//   - keys: turn window input into add_key codes (code page 437 characters,
//     extended keys as (code << 8) | 0xFF, the close request as KEY_CLOSE_REQUEST).
//   - set_window_title, and set_bell_sound if it can make a sound.
#include "gfx/driver.h"

// Every operation is absent: with no presentation thread there is nothing to lock.
const ScreenDriver null_driver = {
    "Null", nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};
