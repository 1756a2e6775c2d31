// The key queue: codes added by the presentation thread, read by the program.
//
// A code is a code-page-437 character byte 1 to 255, or an extended key
// (code << 8) | 0xFF whose text is the two bytes 255 and code.
#pragma once

#include <cstdint>

#include "runtime/text.h"

constexpr int32_t KEY_QUEUE_SLOTS = 16;       // holds at most 15 codes
constexpr uint32_t KEY_CLOSE_REQUEST = 0x6BFF;  // the window's close button, Alt+F4

struct KeyQueue {
  uint32_t codes[KEY_QUEUE_SLOTS] = {};
  int32_t write_index = 0;
  int32_t read_index = 0;
  bool key_pressed = false;  // set by every addition, cleared by read_key and the sleep
};

// Return the process's key queue.
KeyQueue& key_queue();

// Add a code, dropping the oldest when full. Called with the screen lock held.
void add_key(uint32_t code);

// Take the oldest code; 0 when the queue is empty or no screen is open.
uint32_t read_key_code();

// Take the oldest code as text: "", one character, or 255 and the extended code's second byte.
Text read_key();

// Empty the queue.
void clear_keys();

// Return the count of keys added so far (to wait for a newer one).
uint64_t key_generation();

// Wake wait_key as an added key would, without adding one (a stop request, a lost display).
void wake_key_waiters();

// Tell the program that the display went away (connection broken, window destroyed): it ends
// by its orderly path at its next key check. Any thread; back-ends call it.
void report_display_lost();

// Block until a key is added after generation `seen` or the timer reaches `deadline`.
void wait_key(uint64_t seen, double deadline);

// Sleep with the graphics rules: -1 waits for a key, 100 ms and more stop early at a key.
void screen_sleep_ms(int32_t ms);
