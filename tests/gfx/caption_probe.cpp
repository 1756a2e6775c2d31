// Print the caption that a screen gets when the program sets none: the
// executable's own name. Built for Windows; wine_caption.sh runs it under Wine
// under a name of its choosing.
#include <cstdio>

#include "gfx/driver.h"
#include "gfx/screen.h"

int main() {
  open_screen(19, 16, 1, SCREEN_NO_WINDOW, 0);
  if (screen_ready() == 0) return 1;
  std::printf("%s\n", window_title());
  release_screen();
  return 0;
}
