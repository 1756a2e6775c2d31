// testnuv: the random-bit experiment on the full screen (or an 800x600 window).
//
// Takes no arguments. Runs until the space bar is pressed; a stop request of
// the operating system takes the same orderly way out, and so does the loss
// of the display (with exit code 1).
#include "app/stop_requests.h"
#include "experiment/loop.h"
#include "gfx/driver.h"
#include "runtime/platform.h"

int main() {
  platform_start_process();
  experiment_main(SCREEN_FULLSCREEN, watch_stop_requests);
}
