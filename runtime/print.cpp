// Print: the channel table, items and separators, print zones and format masks.
//
// Depends on runtime/text only: the file layer and the screen's text layer plug
// into it (a channel's sink, at_channel_table_reset, a ScreenPort). Channel 0
// writes to standard output while no port is plugged in. No heap allocation on
// the path of print_integer and print_text; format masks allocate their
// rendered field.
#include "runtime/print.h"

#include <charconv>
#include <cmath>
#include <cstring>


namespace {

constexpr int32_t LITERAL_RUN_LIMIT = 2048;  // bytes in one literal run of a format
constexpr int32_t MAX_PRECISION = 15;        // decimals of the fixed conversion, at most

// The current format mask of a formatted print statement.
struct UsingFormat {
  Text text;            // owned copy of the format; empty when no statement is going on
  size_t position = 0;  // next unread character; unread = text.size() - position
};

ChannelRecord channel_table[CHANNEL_COUNT];  // channels 0 (screen) to 254 (files)
ChannelRecord no_channel;                    // handed out for numbers outside the table
const ScreenPort* screen_port = nullptr;     // the screen's text layer, or none
void (*table_reset_action)() = nullptr;      // run first by reset_channel_table
bool screen_channel_set_up = false;          // channel 0 got its sink since the last port change
ResultCode last_code = RESULT_OK;            // result of the last write or open
UsingFormat using_format;

// Hand bytes to the screen's text layer.
ResultCode screen_sink(ChannelRecord&, const char* bytes, int32_t count) {
  screen_port->write(bytes, count, 0);
  return RESULT_OK;
}

// Hand bytes to standard output (no screen is open).
ResultCode stdout_sink(ChannelRecord&, const char* bytes, int32_t count) {
  size_t written = std::fwrite(bytes, 1, static_cast<size_t>(count), stdout);
  std::fflush(stdout);
  return written == static_cast<size_t>(count) ? RESULT_OK : RESULT_SHORT_WRITE;
}

// Give channel 0 its sink, column and line width from the current port.
void set_up_screen_channel() {
  ChannelRecord& record = channel_table[0];
  int32_t column = 1, row = 1, columns = 0, rows = 0;
  if (screen_port != nullptr) {
    if (screen_port->cursor != nullptr) screen_port->cursor(&column, &row);
    if (screen_port->size != nullptr) screen_port->size(&columns, &rows);
  }
  record.sink = screen_port != nullptr && screen_port->write != nullptr ? screen_sink : stdout_sink;
  record.column = column > 0 ? column - 1 : 0;
  record.line_width = columns > 0 ? columns : 0;
  screen_channel_set_up = true;
}

// Return the record of an open channel, setting up the screen on first use; nullptr if none.
ChannelRecord* find_open_channel(PrintChannel channel) {
  if (channel < 0 || channel >= CHANNEL_COUNT) return nullptr;
  if (channel == 0 && !screen_channel_set_up) set_up_screen_channel();
  ChannelRecord& record = channel_table[channel];
  return record.sink != nullptr ? &record : nullptr;
}

// Bring a channel's column up to date after `count` bytes were written.
void update_column(ChannelRecord& record, const char* bytes, int32_t count) {
  int32_t i = count - 1;
  while (i >= 0 && bytes[i] != '\r' && bytes[i] != '\n') --i;
  if (i >= 0) {
    record.column = count - i - 1;
  } else {
    int64_t column = static_cast<int64_t>(record.column) + count;
    record.column = column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
  }
  if (record.line_width != 0 && record.column >= record.line_width) record.column %= record.line_width;
}

// Render `value` as "% d" does into `out` (room for 12 bytes); return the length.
int32_t format_integer(int32_t value, char* out) {
  char digits[10];
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  int32_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int32_t length = 0;
  out[length++] = value < 0 ? '-' : ' ';
  while (n > 0) out[length++] = digits[--n];
  return length;
}

// Return the byte at `index` of the format as 0..255, or -1 outside it.
int format_byte(size_t index) {
  if (index >= using_format.text.size()) return -1;
  return static_cast<unsigned char>(using_format.text[index]);
}

// Tell whether a byte is one of the ten characters that begin a field.
bool is_field_char(int c) {
  switch (c) {
    case '!': case '#': case '$': case '&': case '*':
    case '+': case ',': case '.': case '\\':
      return true;
    default:
      return false;
  }
}

// Go back to the start of a used-up format.
void rewind_used_up_format() {
  if (using_format.position >= using_format.text.size()) using_format.position = 0;
}

// Read the numeric field at the format's position, consuming its characters.
NumberField read_number_field() {
  NumberField field;
  size_t& p = using_format.position;
  for (; p < using_format.text.size(); ++p) {
    int prev = p > 0 ? format_byte(p - 1) : -1;
    int next = format_byte(p + 1);
    switch (format_byte(p)) {
      case '#':
        if (field.decimal_digits == -1) ++field.integer_digits;
        else ++field.decimal_digits;
        break;
      case '.':
        field.decimal_digits = 0;
        break;
      case ',':
        if (next == '#') {
          if (!field.grouping) ++field.integer_digits;
          field.grouping = true;
        } else {
          field.trailing_comma = true;
        }
        break;
      case '+':
        if (field.integer_digits > 0) field.trailing_sign = true;
        break;
      case '$':
        if (next != '$' && prev != '$' && prev != '*') return field;
        field.currency = true;
        break;
      case '*':
        if (next != '*' && prev != '*') return field;
        field.pad = '*';
        break;
      case '^':
        field.exponent = true;
        ++field.exponent_width;
        break;
      default:
        return field;
    }
  }
  return field;
}

// Return the width of a "\  \" text field at the format's position, or 0 if none stands there.
size_t text_field_width() {
  size_t p = using_format.position;
  if (format_byte(p) != '\\' || format_byte(p + 1) != ' ') return 0;
  size_t q = p + 1;
  while (format_byte(q) == ' ') ++q;
  return format_byte(q) == '\\' ? q - p + 1 : 0;
}

// Write a text through the text field at the format's position, if any, and consume the field.
void write_text_field(PrintChannel channel, const Text& text) {
  int c = format_byte(using_format.position);
  if (c == '!' || c == '&') {
    int32_t count = c == '!' ? (text.empty() ? 0 : 1) : static_cast<int32_t>(text.size());
    if (count > 0) write_channel(channel, text.data(), count);
    ++using_format.position;
    return;
  }
  size_t width = text_field_width();
  if (width == 0) return;
  Text shown = text.substr(0, width);
  shown.resize(width, ' ');
  write_channel(channel, shown.data(), static_cast<int32_t>(width));
  using_format.position += width;
}

// End a formatted statement when the separator says it is the last item.
void finish_statement(PrintChannel channel, PrintSeparator separator) {
  if ((separator & SEP_LAST) == 0) return;
  if ((separator & SEP_NEWLINE) != 0) end_line(channel);
  using_format = UsingFormat();
}

// Return the decimal exponent of a value, or INT32_MIN for zero, negative and non-finite values.
int32_t decimal_exponent(double x) {
  if (!(x > 0.0) || !std::isfinite(x)) return INT32_MIN;
  return round_to_int32(std::floor(std::log10(x)));
}

// Bring a value whose decimal exponent is wider than `digits` into the field; return the scale.
int32_t scale_to_field(double& value, int32_t digits) {
  int32_t e = decimal_exponent(value);
  if (e == INT32_MIN || (e < 0 ? -e : e) <= digits) return 0;
  int32_t scale = e - digits + 1;
  // NOTE: the product is carried with a 64-bit mantissa and rounded to double once.
  value = static_cast<double>(static_cast<long double>(std::pow(10.0, -scale)) * value);
  return scale;
}

// Return "e" or "%e" followed by `value` with its sign, as "e%+d" renders it.
Text signed_exponent(const char* prefix, int32_t value) {
  char buffer[16];
  char* end = buffer;
  *end++ = value < 0 ? '-' : '+';
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  end = std::to_chars(end, buffer + sizeof buffer, magnitude).ptr;
  return Text(prefix) + Text(buffer, static_cast<size_t>(end - buffer));
}

// Bring an exponent text "e+dd" to exactly `width` characters.
Text fit_exponent(Text text, int32_t width) {
  size_t w = static_cast<size_t>(width);
  if (text.size() > w && width <= 2) return text.substr(0, w);
  if (text.size() > w) return text.substr(0, 2) + text.substr(text.size() - (w - 2));
  if (text.size() < w) text.insert(2, w - text.size(), '0');
  return text;
}

// Insert a ',' before every third of the first `length` digits that has a digit to its left.
int32_t insert_grouping(Text& text, int32_t length) {
  int32_t commas = 0;
  for (int32_t at = length - 3; at > 0; at -= 3) {
    text.insert(static_cast<size_t>(at), 1, ',');
    ++commas;
  }
  return length + commas;
}

// Bring the decimals after the '.' to exactly `decimals`, or cut the point when there are none.
void fit_decimals(Text& text, int32_t decimals) {
  size_t point = text.find('.');
  if (decimals < 1) {
    if (point != Text::npos) text.resize(point);
    return;
  }
  if (point == Text::npos) return;
  size_t wanted = point + 1 + static_cast<size_t>(decimals);
  text.resize(wanted, '0');
}

// Write the non-finite values the same on every platform.
Text non_finite_text(double value) {
  if (std::isnan(value)) return "nan";
  return value < 0 ? "-inf" : "inf";
}

}  // namespace

void set_screen_port(const ScreenPort* port) {
  screen_port = port;
  screen_channel_set_up = false;
}

void set_screen_column(int32_t column) {
  if (!screen_channel_set_up) set_up_screen_channel();
  channel_table[0].column = column;
}

ChannelRecord& channel_record(PrintChannel channel) {
  if (channel < 0 || channel >= CHANNEL_COUNT) {
    no_channel = ChannelRecord();
    return no_channel;
  }
  return channel_table[channel];
}

void reset_channel_table() {
  if (table_reset_action != nullptr) table_reset_action();
  for (ChannelRecord& record : channel_table) record = ChannelRecord();
  screen_channel_set_up = false;
  using_format = UsingFormat();
}

void at_channel_table_reset(void (*action)()) { table_reset_action = action; }

ResultCode last_result() { return last_code; }

void set_last_result(ResultCode code) { last_code = code; }

ResultCode write_channel(PrintChannel channel, const char* bytes, int32_t count) {
  ChannelRecord* record = find_open_channel(channel);
  if (record == nullptr || count < 0) {
    last_code = RESULT_INVALID;
    return last_code;
  }
  last_code = record->sink(*record, bytes, count);
  if (last_code == RESULT_OK) update_column(*record, bytes, count);
  return last_code;
}

void end_line(PrintChannel channel) { write_channel(channel, "\r\n", 2); }

void advance_zone(PrintChannel channel) {
  static const char spaces[] = "              ";
  ChannelRecord* record = find_open_channel(channel);
  if (record == nullptr) {
    last_code = RESULT_INVALID;
    return;
  }
  int64_t column = record->column > 0 ? record->column : 0;
  int64_t width = record->line_width;
  int64_t next = PRINT_ZONE_WIDTH * ((column + PRINT_ZONE_WIDTH) / PRINT_ZONE_WIDTH) + 1;
  if (width >= PRINT_ZONE_WIDTH && next > width - PRINT_ZONE_WIDTH) next = 1;
  if (next <= column + 1) {
    end_line(channel);
  } else {
    write_channel(channel, spaces, static_cast<int32_t>(next - column - 1));
  }
}

void print_text(PrintChannel channel, const Text& text, PrintSeparator separator) {
  if (!text.empty()) write_channel(channel, text.data(), static_cast<int32_t>(text.size()));
  if ((separator & (SEP_NEWLINE | SEP_NEWLINE_ALT)) != 0) {
    end_line(channel);
  } else if ((separator & SEP_ZONE) != 0) {
    advance_zone(channel);
  }
}

void print_integer(PrintChannel channel, int32_t value, PrintSeparator separator) {
  char buffer[16];
  int32_t length = format_integer(value, buffer);
  if ((separator & (SEP_NEWLINE | SEP_NEWLINE_ALT)) != 0) {
    buffer[length++] = '\r';
    buffer[length++] = '\n';
  }
  write_channel(channel, buffer, length);
  if ((separator & SEP_ZONE) != 0) advance_zone(channel);
}

void using_begin(const Text& format) {
  using_format.text = format;
  using_format.position = 0;
}

void emit_literal_run(PrintChannel channel) {
  char run[LITERAL_RUN_LIMIT];
  size_t& p = using_format.position;
  const size_t size = using_format.text.size();
  for (;;) {
    int32_t length = 0;
    while (p < size && length < LITERAL_RUN_LIMIT && !is_field_char(format_byte(p))) {
      if (using_format.text[p] == '_') {
        if (++p == size) break;
      }
      run[length++] = using_format.text[p++];
    }
    if (length == 0) return;
    write_channel(channel, run, length);
    if (length < LITERAL_RUN_LIMIT) return;
  }
}

void using_number(PrintChannel channel, double value, PrintSeparator separator) {
  rewind_used_up_format();
  emit_literal_run(channel);
  NumberField field = read_number_field();
  Text shown = render_number_field(value, field);
  write_channel(channel, shown.data(), static_cast<int32_t>(shown.size()));
  emit_literal_run(channel);
  finish_statement(channel, separator);
}

void using_text(PrintChannel channel, const Text& text, PrintSeparator separator) {
  rewind_used_up_format();
  emit_literal_run(channel);
  write_text_field(channel, text);
  emit_literal_run(channel);
  finish_statement(channel, separator);
}

Text render_number_field(double value, const NumberField& field) {
  const int32_t digits = field.integer_digits;
  const int32_t decimals = field.decimal_digits;
  int32_t precision = decimals >= 1 ? digits + decimals : digits;
  precision = precision < 1 ? 1 : (precision > MAX_PRECISION ? MAX_PRECISION : precision);

  int32_t scale = scale_to_field(value, digits);

  Text text = fixed_text(value, precision);
  if (digits == 0 && !text.empty() && text[0] == '0') text.erase(0, 1);
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);

  size_t point = text.find('.');
  int32_t length = static_cast<int32_t>(point == Text::npos ? text.size() : point);
  if (point == Text::npos && decimals >= 1) text += '.';
  if (field.grouping) length = insert_grouping(text, length);
  if (field.currency) text.insert(0, 1, '$');
  if (negative && !field.trailing_sign) {
    text.insert(0, 1, '-');
    ++length;
  }
  if (digits > 0 && length < digits) text.insert(0, static_cast<size_t>(digits - length), field.pad);
  fit_decimals(text, decimals);

  if (field.exponent) {
    Text exponent = signed_exponent("e", scale);
    if (field.exponent_width > 0) exponent = fit_exponent(exponent, field.exponent_width);
    text += exponent;
    scale = 0;
  }
  if (negative && field.trailing_sign) text += '-';
  if (field.trailing_comma) text += ',';
  if (scale != 0) text += signed_exponent("%e", scale);
  return text;
}

Text fixed_text(double value, int32_t decimals) {
  if (!std::isfinite(value)) return non_finite_text(value);
  if (decimals < 0) decimals = 6;
  if (decimals > 100) decimals = 100;
  char buffer[512];  // the largest double has 309 digits
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  Text text(buffer, static_cast<size_t>(result.ptr - buffer));
  if (text.find('.') == Text::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}
