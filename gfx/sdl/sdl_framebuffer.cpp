// Presentation of the picture by the SDL back-end: the band of rows marked
// dirty goes into the streaming texture, and the frame is shown centred.
//
// Rows are read through the screen's row table, since the text layer scrolls
// by rotating row pointers. Nothing is uploaded or shown while no row is
// marked, nor while a full-screen window lacks the focus (the marks wait).
#include <algorithm>
#include <cstring>

#include "gfx/screen.h"
#include "gfx/sdl/sdl_video.h"

bool sdl_upload_dirty(SdlState& s, GraphicsScreen& screen) {
  if (s.texture == nullptr || (s.full_screen && !s.active)) return false;
  // The window was made for this screen: one dirty mark per texture row.
  if (screen.dirty.size() != static_cast<size_t>(s.height)) return false;
  if (s.mark_all) std::fill(screen.dirty.begin(), screen.dirty.end(), uint8_t{1});
  s.mark_all = false;
  int32_t y0 = 0;
  int32_t y1 = 0;
  if (!dirty_band(screen, &y0, &y1)) return false;
  const int32_t multiplier = std::max(1, screen.line_multiplier);
  const size_t row_bytes = static_cast<size_t>(s.width) * s.bytes_per_pixel;
  const size_t copy = std::min(row_bytes, static_cast<size_t>(std::max(0, screen.pitch)));
  for (int32_t y = y0; y <= y1; ++y) {
    std::memcpy(s.band.data() + (y - y0) * row_bytes, screen.rows[y / multiplier], copy);
  }
  const SDL_Rect rect = {0, y0, s.width, y1 - y0 + 1};
  SDL_UpdateTexture(s.texture, &rect, s.band.data(), static_cast<int>(row_bytes));
  std::fill(screen.dirty.begin() + y0, screen.dirty.begin() + y1 + 1, uint8_t{0});
  return true;
}

void sdl_show_frame(SdlState& s) {
  if (s.renderer == nullptr) return;
  SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
  SDL_RenderClear(s.renderer);
  SDL_RenderCopy(s.renderer, s.texture, nullptr, &s.dest);
  SDL_RenderPresent(s.renderer);
}
