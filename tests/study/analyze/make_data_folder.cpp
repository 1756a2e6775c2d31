// make_data_folder: writes a data folder replayed from a seed, for the analysis tests.
// Usage: make_data_folder OUT SEED SECONDS "YYYY-MM-DD HH:MM:SS" [UTC_OFFSET_MINUTES [HOST [--bits]]]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/data_folder.h"
#include "study/local_time.h"
#include "study/replay.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: make_data_folder OUT SEED SECONDS START [OFFSET [HOST [--bits]]]\n");
    return 2;
  }
  const auto seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const int64_t seconds = std::strtoll(argv[3], nullptr, 10);
  int64_t start = 0;
  if (!parse_local_time(argv[4], start)) return 2;
  const int64_t offset = argc > 5 ? std::strtoll(argv[5], nullptr, 10) : 60;
  const std::string host = argc > 6 ? argv[6] : "estacion";
  const bool bits = argc > 7 && std::string(argv[7]) == "--bits";
  DataFolderWriter writer;
  const Result<> begun = writer.begin(argv[1], bits, false);
  if (!begun) {
    std::fprintf(stderr, "%s\n", begun.failure().message.c_str());
    return 1;
  }
  Replay replay(seed);
  std::vector<uint8_t> second_bits(BYTES_PER_SECOND);
  for (int64_t s = 1; s <= seconds; ++s) {
    const int32_t ones = replay.next_second(second_bits.data());
    SecondRow row = make_second_row(s, ones, format_local_time(start + s - 1), TimeSource::clock);
    row.utc = format_utc_time(start + s - 1 - offset * 60);
    if (!writer.add_second(row, bits ? second_bits.data() : nullptr)) {
      std::fprintf(stderr, "%s\n", writer.error().c_str());
      return 1;
    }
  }
  const nlohmann::json provenance = {{"format", "testnuv-provenance/1"}, {"program", "make_data_folder"},
                                     {"seed", seed},
                                     {"start_local", format_local_time(start)},
                                     {"utc_offset_minutes", offset},
                                     {"time_zone", host + " zone"},
                                     {"host", host},
                                     {"command_line", host}};
  const Result<> finished = writer.finish(provenance);
  if (!finished) {
    std::fprintf(stderr, "%s\n", finished.failure().message.c_str());
    return 1;
  }
  return 0;
}
