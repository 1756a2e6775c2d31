// The key queue and waiting for keys.
//
// The back-end's presentation thread adds codes with the screen lock held;
// the program's thread reads them under the same lock. A wake signal lets
// the program sleep until the next key instead of polling, on the system
// clock and on the virtual clock of tests alike. The queue registers itself
// with the screen: it is emptied when a screen opens, and sleep_ms takes the
// graphics form (screen_sleep_ms) while a screen is open.
#include "gfx/keys.h"

#include "gfx/screen.h"
#include "runtime/clock.h"
#include "runtime/program.h"

namespace {

KeyQueue queue;        // the process's key queue
WakeSignal key_added;  // raised once per added code

// Return the queue index after `index`.
int32_t next_slot(int32_t index) { return (index + 1) % KEY_QUEUE_SLOTS; }

// Take the oldest code, 0 when the queue is empty, and clear the key-pressed flag.
uint32_t take_code() {
  uint32_t code = 0;
  if (queue.read_index != queue.write_index) {
    code = queue.codes[queue.read_index];
    queue.read_index = next_slot(queue.read_index);
  }
  queue.key_pressed = false;
  return code;
}

// Read and clear the key-pressed flag under the screen lock.
bool take_key_pressed() {
  lock_screen();
  bool pressed = queue.key_pressed;
  queue.key_pressed = false;
  unlock_screen();
  return pressed;
}

// Empty the queue for a new screen and make sleep_ms stop early at a key.
void screen_opened(GraphicsScreen&, int32_t) {
  set_sleep_form(screen_sleep_ms);
  clear_keys();
}

// Give sleep_ms back its plain form.
void screen_closed() { set_sleep_form(nullptr); }

const ScreenLayer key_layer = {screen_opened, screen_closed, nullptr};
[[maybe_unused]] const bool key_layer_registered = add_screen_layer(&key_layer);

}  // namespace

KeyQueue& key_queue() { return queue; }

void add_key(uint32_t code) {
  queue.codes[queue.write_index] = code;
  int32_t next = next_slot(queue.write_index);
  if (next == queue.read_index) queue.read_index = next_slot(queue.read_index);
  queue.write_index = next;
  queue.key_pressed = true;
  key_added.raise();
}

uint32_t read_key_code() {
  const GraphicsScreen* screen = current_screen();
  if (screen == nullptr) return 0;
  const bool take_lock = !screen->lock_free;
  if (take_lock) lock_screen();
  uint32_t code = take_code();
  if (take_lock) unlock_screen();
  return code;
}

Text read_key() {
  const uint32_t code = read_key_code();
  if (code == 0) return Text();
  if (code < 256) return Text(1, static_cast<char>(code));
  if ((code & 0xFF) == 0xFF) return Text{static_cast<char>(0xFF), static_cast<char>((code >> 8) & 0xFF)};
  return Text();
}

void clear_keys() {
  lock_screen();
  queue.read_index = queue.write_index;
  queue.key_pressed = false;
  unlock_screen();
}

uint64_t key_generation() { return key_added.generation(); }

void wake_key_waiters() { key_added.raise(); }

void report_display_lost() {
  request_end(EndReason::display_lost);
  wake_key_waiters();
}

void wait_key(uint64_t seen, double deadline) { active_clock().wait_until(deadline, key_added, seen); }

void screen_sleep_ms(int32_t ms) {
  ClockSource& clock = active_clock();
  if (ms == -1) {
    while (!take_key_pressed()) clock.sleep(50);
    return;
  }
  if (ms < 100) {
    if (ms > 0) clock.sleep(ms);
    return;
  }
  int32_t remaining = ms;
  while (remaining > 50) {
    clock.sleep(50);
    remaining -= 50;
    if (take_key_pressed()) return;
  }
  clock.sleep(remaining);
}
