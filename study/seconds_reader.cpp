// seconds.csv read back: a buffered line reader and the checks of each row.
#include "study/seconds_reader.h"

#include <charconv>
#include <cstring>

#include "experiment/run_facts.h"
#include "runtime/paths.h"
#include "study/local_time.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t MAX_LINE = 256;  // longest acceptable seconds.csv line
constexpr TimeSource TIME_SOURCES[] = {TimeSource::clock, TimeSource::record,
                                       TimeSource::interpolated, TimeSource::extrapolated};

// Read a decimal integer field ending at a comma; advance past the comma.
bool take_integer(const char*& at, const char* end, int64_t& value) {
  const auto result = std::from_chars(at, end, value);
  if (result.ec != std::errc() || result.ptr == end || *result.ptr != ',') return false;
  at = result.ptr + 1;
  return true;
}

// Read a text field up to the next comma (or the end when `last`); advance past it.
bool take_field(const char*& at, const char* end, std::string& value, bool last) {
  const char* comma = static_cast<const char*>(std::memchr(at, ',', end - at));
  if (last ? comma != nullptr : comma == nullptr) return false;
  const char* stop = last ? end : comma;
  value.assign(at, stop);
  at = last ? end : comma + 1;
  return true;
}

}  // namespace

SecondsReader::~SecondsReader() {
  if (stream_ != nullptr) std::fclose(stream_);
}

bool SecondsReader::fail(const std::string& why) {
  error_ = shown_path(name_) + ":" + std::to_string(line_) + ": " + why;
  return false;
}

bool SecondsReader::open(const fs::path& file) {
  if (stream_ != nullptr) std::fclose(stream_);
  name_ = file;
  line_ = 0;
  previous_ = 0;
  at_ = filled_ = 0;
  error_.clear();
  stream_ = open_input(file, Links::refuse, error_);
  if (stream_ == nullptr) return false;
  std::string header;
  if (!read_line(header)) return error_.empty() ? fail("fichero vacio") : false;
  has_utc_ = header == SECONDS_HEADER;
  if (!has_utc_ && header != SECONDS_HEADER_WITHOUT_UTC) {
    // Shown with its invisible characters, so that a CR or a BOM is seen to differ.
    return fail("cabecera inesperada \"" + shown_text(header) + "\" (se esperaba \"" + SECONDS_HEADER + "\")");
  }
  return true;
}

bool SecondsReader::read_line(std::string& text) {
  text.clear();
  for (;;) {
    if (at_ == filled_) {
      filled_ = std::fread(buffer_, 1, sizeof buffer_, stream_);
      at_ = 0;
      if (filled_ == 0) {
        if (std::ferror(stream_)) return fail("error de lectura");
        if (text.empty()) return false;
        ++line_;
        return fail("ultima linea sin fin de linea (fichero cortado)");
      }
    }
    const char* start = buffer_ + at_;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', filled_ - at_));
    const size_t take = newline != nullptr ? static_cast<size_t>(newline - start) : filled_ - at_;
    if (text.size() + take > MAX_LINE) {
      ++line_;
      return fail("linea demasiado larga");
    }
    text.append(start, take);
    at_ += take;
    if (newline != nullptr) {
      ++at_;
      ++line_;
      return true;
    }
  }
}

bool SecondsReader::next(SecondRow& row) {
  if (stream_ == nullptr || !error_.empty()) return false;
  std::string text;
  if (!read_line(text)) return false;
  const char* at = text.data();
  const char* end = at + text.size();
  const std::string columns = has_utc_ ? "10" : "9";
  int64_t fields[6];
  for (int64_t& field : fields) {
    if (!take_integer(at, end, field)) {
      return fail("campo entero no valido o faltan columnas (se esperaban " + columns + ")");
    }
  }
  std::string z_field, time_field, source_field, utc_field;
  if (!take_field(at, end, z_field, false) || !take_field(at, end, time_field, false) ||
      !take_field(at, end, source_field, !has_utc_) ||
      (has_utc_ && !take_field(at, end, utc_field, true))) {
    return fail("se esperaban " + columns + " columnas");
  }
  int64_t moment = 0;
  if (has_utc_ && !parse_utc_time(utc_field, moment)) {
    return fail("utc no tiene la forma AAAA-MM-DDTHH:MM:SSZ");
  }
  if (fields[4] < 0 || fields[4] > BITS_PER_SECOND) return fail("ones fuera de 0 a 200");
  const int32_t ones = static_cast<int32_t>(fields[4]);
  bool source_known = false;
  TimeSource source = TimeSource::clock;
  for (TimeSource candidate : TIME_SOURCES) {
    if (source_field == time_source_name(candidate)) source = candidate, source_known = true;
  }
  if (!source_known) return fail("time_source desconocido \"" + source_field + "\"");
  int64_t wall = 0;
  if (!parse_local_time(time_field, wall)) return fail("time no tiene la forma AAAA-MM-DD HH:MM:SS");
  row = make_second_row(fields[0], ones, time_field, source);
  row.utc = std::move(utc_field);
  if (fields[0] != previous_ + 1) return fail("se esperaba el segundo " + std::to_string(previous_ + 1));
  if (fields[1] != row.cycle || fields[2] != row.minute || fields[3] != row.sec) {
    return fail("cycle, minute o sec no corresponden al segundo");
  }
  if (fields[5] != row.zeros) return fail("ones + zeros no suman 200");
  if (z_field != z_text(ones)) return fail("z no corresponde a ones");
  previous_ = row.second;
  return true;
}
