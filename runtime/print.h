// Print operations: items, separators, print zones and format masks.
//
// Every byte the program shows or writes passes through here. Channel 0 is the
// screen, whose sink is plugged in by the text layer of the graphics screen
// (standard output until then); channels 1 to 254 are files (runtime/files.h),
// which plug in their own sink and register their own closing: this module
// knows nothing of files.
// Single-threaded: the channel table and the format mask belong to the
// program's thread.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime/text.h"

using PrintChannel = int32_t;
using PrintSeparator = uint32_t;
using ResultCode = int32_t;

// What follows a printed item.
constexpr PrintSeparator SEP_NONE = 0;          // nothing; the line goes on
constexpr PrintSeparator SEP_NEWLINE = 1;       // CR LF
constexpr PrintSeparator SEP_ZONE = 2;          // spaces up to the next 14-column print zone
constexpr PrintSeparator SEP_NEWLINE_ALT = 4;   // CR LF, like SEP_NEWLINE
constexpr PrintSeparator SEP_LAST = 0x80000000u;  // last item of a formatted statement
constexpr PrintSeparator SEP_LAST_NEWLINE = 0x80000001u;

constexpr ResultCode RESULT_OK = 0;
constexpr ResultCode RESULT_INVALID = 1;       // channel not valid or not open; number already open
constexpr ResultCode RESULT_CANNOT_OPEN = 2;   // the file cannot be opened
constexpr ResultCode RESULT_SHORT_WRITE = 3;   // a write wrote fewer bytes than asked

constexpr int32_t CHANNEL_COUNT = 255;  // channels 0 to 254
constexpr int32_t PRINT_ZONE_WIDTH = 14;

struct ChannelRecord;
struct FileState;

// Where a channel's bytes go; returns a ResultCode.
using ChannelSink = ResultCode (*)(ChannelRecord& record, const char* bytes, int32_t count);

// The state of one channel; all zero means "not open".
struct ChannelRecord {
  ChannelSink sink = nullptr;  // where bytes go; none means not open
  int32_t column = 0;          // bytes written since the last CR or LF
  int32_t line_width = 0;      // 0: unlimited (files); the screen's text columns
  int32_t mode = 0;            // FileMode passed to open_file
  int32_t access = 0;          // access passed to open_file (no effect in Output mode)
  int32_t lock = 0;            // lock passed to open_file (no effect in Output mode)
  std::FILE* stream = nullptr; // the open file, written unbuffered by the file layer
  FileState* file = nullptr;   // the file layer's buffer and held units, owned by the record
};

// The text layer that channel 0 prints through while a screen is open.
struct ScreenPort {
  void (*write)(const char* bytes, int32_t length, int32_t flags);  // draw bytes at the cursor
  void (*size)(int32_t* columns, int32_t* rows);                   // text grid size
  void (*cursor)(int32_t* column, int32_t* row);                   // cursor, counted from 1
};

// Plug the screen's text layer into channel 0 (nullptr: standard output).
// Channel 0 is set up afresh on its next use.
void set_screen_port(const ScreenPort* port);

// Set the screen channel's column (used by locate and open_screen).
void set_screen_column(int32_t column);

// Return the record of a channel, 0 to 254 (for the file layer and tests; a blank scratch record otherwise).
ChannelRecord& channel_record(PrintChannel channel);

// Clear every record of the channel table and the format mask, first running the action
// registered by at_channel_table_reset (the file layer closes its files there).
void reset_channel_table();

// Register what reset_channel_table runs before it clears the records (one action; nullptr: none).
void at_channel_table_reset(void (*action)());

// Return the result code of the last write or open.
ResultCode last_result();
// Record the result code of a write or open.
void set_last_result(ResultCode code);

// Write the bytes of a text, then what the separator asks for.
void print_text(PrintChannel channel, const Text& text, PrintSeparator separator);

// Write a value as "% d" renders it, then what the separator asks for.
void print_integer(PrintChannel channel, int32_t value, PrintSeparator separator);

// Make a copy of `format` the current format mask.
void using_begin(const Text& format);

// Write the format's literal text, the value through its numeric field, and the literal after it.
void using_number(PrintChannel channel, double value, PrintSeparator separator);

// Write the format's literal text, the text if a text field stands there, and the literal after it.
void using_text(PrintChannel channel, const Text& text, PrintSeparator separator);

// Hand bytes to a channel's sink in one call and keep its column.
ResultCode write_channel(PrintChannel channel, const char* bytes, int32_t count);

// Write CR LF to a channel.
void end_line(PrintChannel channel);

// Pad a channel to its next print zone, or end the line where the zone does not fit.
void advance_zone(PrintChannel channel);

// Write the format's literal text up to its next field, in runs of at most 2048 bytes.
void emit_literal_run(PrintChannel channel);

// A numeric field of a format mask.
struct NumberField {
  int32_t integer_digits = 0;   // I: '#' before the point (and one for grouping)
  int32_t decimal_digits = -1;  // D: '#' after the point; -1 when no point
  char pad = ' ';               // ' ' or '*'
  bool grouping = false;        // ',' before a '#'
  bool trailing_comma = false;  // ',' at the end of the field
  bool trailing_sign = false;   // '+' after a '#'
  bool currency = false;        // "$$"
  int32_t exponent_width = 0;   // E: count of '^'; > 0 means the exponent form
  bool exponent = false;
};

// Render a value through a numeric field.
Text render_number_field(double value, const NumberField& field);

// Convert a value to fixed-point text with `decimals` decimals, rounded as "%.*f" rounds, then
// drop trailing zeros and a point left at the end; "inf", "-inf" or "nan" when not finite.
Text fixed_text(double value, int32_t decimals);
