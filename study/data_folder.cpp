// Data folders: writing seconds.csv, bits.bin, provenance.json and SHA256SUMS
// in a temporary folder put in place at the end; reading and checking them.
#include "study/data_folder.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <system_error>

#include "experiment/provenance.h"
#include "runtime/durable.h"
#include "runtime/paths.h"
#include "runtime/platform.h"
#include "study/local_time.h"
#include "study/small_file.h"
#include "study/orbit.h"
#include "study/replay.h"
#include "runtime/sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t WRITE_BUFFER = size_t{1} << 20;  // bytes buffered per output file
constexpr int32_t EXPECTED_ONES = BITS_PER_SECOND / 2;
constexpr char TEMPORARY_SUFFIX[] = ".testnuv-parcial";
constexpr char OLD_SUFFIX[] = ".testnuv-antigua";

// Append an integer's decimal digits.
void append_integer(std::string& text, int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text.append(buffer, result.ptr);
}

// Say whether `folder` may be written: absent, empty, or (replace) holding only data files.
Result<> folder_may_be_written(const fs::path& folder, bool replace) {
  std::error_code code;
  const fs::file_status status = fs::symlink_status(folder, code);
  if (status.type() == fs::file_type::not_found) return Ok{};
  if (status.type() != fs::file_type::directory) {
    return fail(EXIT_TROUBLE, shown_path(folder) + ": existe y no es una carpeta");
  }
  bool empty = true;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, code)) {
    empty = false;
    if (!replace) break;
    if (!is_data_file(path_to_utf8(entry.path().filename())) || !entry.is_regular_file()) {
      return fail(EXIT_TROUBLE, shown_path(folder) + ": contiene otros ficheros (" +
              shown_path(entry.path().filename()) + "); no se sustituye");
    }
  }
  if (code) {
    return fail(EXIT_TROUBLE, shown_path(folder) + ": " + code.message());
  }
  if (!empty && !replace) {
    return fail(EXIT_TROUBLE, shown_path(folder) + ": la carpeta ya existe y no esta vacia (--force la sustituye)");
  }
  return Ok{};
}

// The file that marks a folder as this tool's own unfinished work: it names the process
// that made it, so that a later run removes the folder only once that process is gone.
constexpr char MARKER_FILE[] = ".testnuv-en-curso";
constexpr char MARKER_TAG[] = "testnuv-study data folder in progress";

// Return the marker's text for this process.
std::string marker_text() {
  return std::string(MARKER_TAG) + "\npid " + std::to_string(platform_process_id()) + "\nhost " +
         platform_host_name() + "\n";
}

// Return whether a folder holds only data-folder files and the marker, all regular files
// (nothing a user put there, no link, no subfolder).
bool holds_only_data_files(const fs::path& folder) {
  std::error_code code;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, code)) {
    const std::string name = path_to_utf8(entry.path().filename());
    const bool ours = is_data_file(name) || name == MARKER_FILE;
    if (!ours || entry.symlink_status(code).type() != fs::file_type::regular) return false;
  }
  return !code;
}

// Return whether `folder` is the unfinished folder of a process of this machine that has
// ended: its marker says so, and it holds nothing but what the tool writes.
bool is_dead_leftover(const fs::path& folder) {
  std::error_code code;
  if (fs::symlink_status(folder, code).type() != fs::file_type::directory) return false;
  if (fs::symlink_status(folder / MARKER_FILE, code).type() != fs::file_type::regular) return false;
  const Result<std::string> read = read_small_file(folder / MARKER_FILE, Links::refuse);
  if (!read) return false;
  const std::string& text = *read;
  long long pid = 0;
  char host[256] = {};
  const std::string expected_start = std::string(MARKER_TAG) + "\npid ";
  if (text.compare(0, expected_start.size(), expected_start) != 0) return false;
  if (std::sscanf(text.c_str() + expected_start.size(), "%lld\nhost %255[^\n]", &pid, host) < 1) return false;
  if (std::string(host) != platform_host_name() || platform_process_runs(pid)) return false;
  return holds_only_data_files(folder);
}

// Make a new folder of our own beside `folder`, named folder + suffix + a unique part, with
// the marker in it.
Result<fs::path> make_own_folder(const fs::path& folder, const char* suffix) {
  std::error_code code;
  fs::path made;
  for (int attempt = 0; attempt < UNIQUE_NAME_ATTEMPTS; ++attempt) {
    made = folder;
    made += std::string(suffix) + "-" + unique_suffix();
    if (fs::create_directory(made, code)) {
      std::FILE* marker = create_new_file(made / MARKER_FILE);
      const std::string text = marker_text();
      const bool written = marker != nullptr &&
                           std::fwrite(text.data(), 1, text.size(), marker) == text.size();
      if (marker != nullptr && std::fclose(marker) == 0 && written) return made;
      const std::string why = shown_path(made / MARKER_FILE) + ": " + std::strerror(errno);
      fs::remove_all(made, code);
      return fail(EXIT_TROUBLE, why);
    }
    if (code) break;  // not a name taken: a real failure
  }
  return fail(EXIT_TROUBLE, shown_path(made) + ": " + (code ? code.message() : "no se pudo crear una carpeta nueva"));
}

// Remove a folder this tool made, provided it holds only what the tool writes.
void remove_data_folder(const fs::path& folder) {
  std::error_code code;
  if (holds_only_data_files(folder)) fs::remove_all(folder, code);
}

// Remove the unfinished folders that killed runs left beside `folder` (see is_dead_leftover).
void remove_leftovers(const fs::path& folder) {
  std::error_code code;
  const std::string name = path_to_utf8(folder.filename());
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.parent_path(), code)) {
    const std::string sibling = path_to_utf8(entry.path().filename());
    for (const char* suffix : {TEMPORARY_SUFFIX, OLD_SUFFIX}) {
      const std::string prefix = name + suffix + "-";
      if (sibling.compare(0, prefix.size(), prefix) == 0 && is_dead_leftover(entry.path())) {
        fs::remove_all(entry.path(), code);
      }
    }
  }
}

}  // namespace

const std::string& z_text(int32_t ones) {
  static const std::array<std::string, BITS_PER_SECOND + 1> table = [] {
    std::array<std::string, BITS_PER_SECOND + 1> texts;
    for (int32_t k = 0; k <= BITS_PER_SECOND; ++k) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.6f", (k - EXPECTED_ONES) / std::sqrt(50.0));
      texts[k] = buffer;
    }
    return texts;
  }();
  return table[ones];
}

bool is_data_file(const std::string& text) {
  for (const char* file : {SECONDS_FILE, BITS_FILE, PROVENANCE_FILE, SUMS_FILE}) {
    if (text == file) return true;
  }
  return false;
}

const char* time_source_name(TimeSource source) {
  switch (source) {
    case TimeSource::clock: return "clock";
    case TimeSource::record: return "record";
    case TimeSource::interpolated: return "interpolated";
    case TimeSource::extrapolated: return "extrapolated";
  }
  return "clock";
}

SecondRow make_second_row(int64_t second, int32_t ones, std::string time, TimeSource source) {
  SecondRow row;
  row.second = second;
  row.cycle = (second - 1) / CYCLE_SECONDS;
  const int64_t into_cycle = (second - 1) % CYCLE_SECONDS;
  row.minute = static_cast<int32_t>(into_cycle / 60);
  row.sec = static_cast<int32_t>(into_cycle % 60);
  row.ones = ones;
  row.zeros = BITS_PER_SECOND - ones;
  row.z = (ones - EXPECTED_ONES) / std::sqrt(50.0);
  row.time = std::move(time);
  row.time_source = source;
  return row;
}

// ---- Writing ----

struct DataFolderWriter::Output {
  std::FILE* stream = nullptr;
  fs::path name;
  Sha256 digest;       // of every byte written
  std::string buffer;  // bytes not yet handed to the stream
};

DataFolderWriter::DataFolderWriter() = default;

DataFolderWriter::~DataFolderWriter() { abandon(); }

Result<> DataFolderWriter::begin(const fs::path& folder, bool with_bits, bool replace) {
  abandon();
  std::string error;
  std::error_code code;
  folder_ = fs::absolute(folder, code).lexically_normal();
  if (folder_.filename().empty()) folder_ = folder_.parent_path();
  replace_ = replace;
  refused_ = true;
  std::error_code here;
  if (path_lies_within(fs::current_path(here), folder_)) {
    error = shown_path(folder_) + ": es la carpeta actual o la contiene; la carpeta de datos va en "
            "una carpeta propia";
    return fail(EXIT_TROUBLE, error);
  }
  const Result<> writable = folder_may_be_written(folder_, replace);
  if (!writable) return writable.failure();
  refused_ = false;
  existed_ = fs::symlink_status(folder_, code).type() != fs::file_type::not_found;
  remove_leftovers(folder_);
  Result<fs::path> made = make_own_folder(folder_, TEMPORARY_SUFFIX);
  if (!made) return made.failure();
  temporary_ = *made;
  open_ = true;
  rows_ = 0;
  auto open_output = [&](const char* file) {
    auto output = std::make_unique<Output>();
    output->name = temporary_ / file;
    output->stream = create_new_file(output->name);
    if (output->stream == nullptr) error = shown_path(output->name) + ": " + std::strerror(errno);
    return output;
  };
  seconds_ = open_output(SECONDS_FILE);
  if (seconds_->stream == nullptr) return abandon(), fail(EXIT_TROUBLE, error);
  if (with_bits) {
    bits_ = open_output(BITS_FILE);
    if (bits_->stream == nullptr) return abandon(), fail(EXIT_TROUBLE, error);
  }
  const std::string header = std::string(SECONDS_HEADER) + "\n";
  if (!write_to(*seconds_, header.data(), header.size())) {
    abandon();
    return fail(EXIT_TROUBLE, error_);
  }
  return Ok{};
}

bool DataFolderWriter::write_to(Output& output, const char* bytes, size_t count) {
  output.digest.update(bytes, count);
  output.buffer.append(bytes, count);
  if (output.buffer.size() < WRITE_BUFFER) return true;
  const bool good =
      std::fwrite(output.buffer.data(), 1, output.buffer.size(), output.stream) == output.buffer.size();
  output.buffer.clear();
  if (!good) error_ = shown_path(output.name) + ": " + std::strerror(errno);
  return good;
}

bool DataFolderWriter::close_output(Output& output) {
  bool good = std::fwrite(output.buffer.data(), 1, output.buffer.size(), output.stream) ==
              output.buffer.size();
  if (!good) error_ = shown_path(output.name) + ": " + std::strerror(errno);
  output.buffer.clear();
  std::FILE* stream = output.stream;
  output.stream = nullptr;
  return close_synced(stream, output.name, error_) && good;
}

bool DataFolderWriter::add_second(const SecondRow& row, const uint8_t* bits) {
  if (!open_) return false;
  std::string line;
  line.reserve(96);
  append_integer(line, row.second);
  line += ',';
  append_integer(line, row.cycle);
  line += ',';
  append_integer(line, row.minute);
  line += ',';
  append_integer(line, row.sec);
  line += ',';
  append_integer(line, row.ones);
  line += ',';
  append_integer(line, row.zeros);
  line += ',';
  line += z_text(row.ones < 0 || row.ones > BITS_PER_SECOND ? EXPECTED_ONES : row.ones);
  line += ',';
  line += row.time;
  line += ',';
  line += time_source_name(row.time_source);
  line += ',';
  line += row.utc;
  line += '\n';
  if (!write_to(*seconds_, line.data(), line.size())) return false;
  if (bits_ != nullptr && !write_to(*bits_, reinterpret_cast<const char*>(bits), BYTES_PER_SECOND)) {
    return false;
  }
  ++rows_;
  return true;
}

Result<> DataFolderWriter::finish(const nlohmann::json& provenance) {
  if (!open_) return fail(EXIT_TROUBLE, "la carpeta de datos no esta abierta");
  std::string sums;
  auto add_sum = [&sums](const std::string& digest, const char* file) {
    sums += digest + "  " + file + "\n";
  };
  bool good = close_output(*seconds_);
  add_sum(seconds_->digest.finish(), SECONDS_FILE);
  if (good && bits_ != nullptr) {
    good = close_output(*bits_);
    add_sum(bits_->digest.finish(), BITS_FILE);
  }
  // Where the folder's bits lie on the generator's orbit (the folder starts at the run's second 1).
  nlohmann::json described = provenance;
  const auto seed = provenance.find("seed");
  if (seed != provenance.end() && seed->is_number_unsigned()) {
    described["orbit_start"] = run_orbit_start(seed->get<uint32_t>());
    described["draws"] = static_cast<uint64_t>(rows_) * BITS_PER_SECOND;
  }
  const std::string record = json_file_text(described);
  add_sum(sha256_of(record), PROVENANCE_FILE);
  if (good) good = replace_file_atomically(temporary_ / PROVENANCE_FILE, record, error_);
  if (good) good = replace_file_atomically(temporary_ / SUMS_FILE, sums, error_);
  if (good) good = sync_parent_directory(temporary_ / SUMS_FILE);
  if (good) good = put_in_place();
  if (!good) {
    abandon();
    return fail(EXIT_TROUBLE, error_);
  }
  open_ = false;
  return Ok{};
}

bool DataFolderWriter::put_in_place() {
  // The marker goes first: the folder in place holds the data files alone.
  std::error_code code;
  if (!fs::remove(temporary_ / MARKER_FILE, code) || !sync_parent_directory(temporary_ / SUMS_FILE)) {
    error_ = shown_path(temporary_ / MARKER_FILE) + ": no se pudo quitar";
    return false;
  }
  const bool old_there = fs::symlink_status(folder_, code).type() != fs::file_type::not_found;
  if (old_there && !replace_ && !existed_) {
    // Another run put a folder there meanwhile: it is not ours to replace.
    keep_unfinished_ = true;
    error_ = shown_path(folder_) + ": la carpeta aparecio durante la ejecucion y no se sustituye "
             "(sin --force); los datos de esta ejecucion quedan en " + shown_path(temporary_);
    return false;
  }
  // An old folder goes aside first, and is checked again, for other files may have come
  // into it (an empty folder at the start, a log written there) since.
  fs::path old;
  if (old_there) {
    const Result<> writable = folder_may_be_written(folder_, true);
    if (!writable) {
      error_ = writable.failure().message;
      return false;
    }
    old = folder_;
    old += OLD_SUFFIX;
    old += "-" + unique_suffix();
    if (!rename_durably(folder_, old, error_)) return false;
  }
  if (!rename_durably(temporary_, folder_, error_)) {
    if (old_there && fs::symlink_status(folder_, code).type() == fs::file_type::not_found) {
      fs::rename(old, folder_, code);
    }
    return false;
  }
  if (old_there) remove_data_folder(old);
  return true;
}

void DataFolderWriter::abandon() {
  for (std::unique_ptr<Output>* output : {&seconds_, &bits_}) {
    if (*output != nullptr && (*output)->stream != nullptr) std::fclose((*output)->stream);
    output->reset();
  }
  if (open_ && !keep_unfinished_) remove_data_folder(temporary_);
  open_ = false;
  keep_unfinished_ = false;
}
