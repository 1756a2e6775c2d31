// testnuv-study seed: the seed whose replay gives every record of a log,
// from the run's provenance record when there is one, else by a search.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "runtime/paths.h"
#include "study/command_support.h"
#include "study/commands.h"
#include "study/replay.h"

namespace {

struct SeedOptions {
  std::string log;
  int64_t from = 0;
  int64_t to = SEED_MASK;
};

// Say which seed it is, and which seed of the range S + 2^31 stands for the same bits.
void print_seed(const FoundSeed& found) {
  std::printf("%" PRIu32 "\n", found.seed);
  const char* how = found.how == "provenance" ? "tomada del registro de procedencia" : "hallada por busqueda";
  std::fprintf(stderr, "semilla %" PRIu32 " (%s y comprobada con %" PRId64 " registros); la semilla %" PRIu64
               " da los mismos bits\n", found.seed, how, found.records, found.seed + SEED_PERIOD);
}

// Find and print the seed of a log.
int run_seed(const SeedOptions& options) {
  Result<LoadedLog> log = open_log(path_from_utf8(options.log), Links::follow);
  if (!log) return say_failure(log.failure());
  if (options.from > options.to) return say_failure(fail(EXIT_USAGE, "--from es mayor que --to"));
  const FoundSeed found = settle_seed(*log, static_cast<uint32_t>(options.from), static_cast<uint32_t>(options.to),
                                      true, false);
  if (found.status == EXIT_DONE) print_seed(found);
  if (found.pinned) std::printf("%" PRIu32 "\n", found.seed);
  return found.status;
}

}  // namespace

CommandRun define_seed(CLI::App& command) {
  auto options = std::make_shared<SeedOptions>();
  const auto seeds = CLI::Range(int64_t{0}, int64_t{SEED_MASK});
  command.add_option("LOG", options->log, "registro de estudio (estudio_mm-dd-aaaa)")->required()->check(existing_path(true));
  command.add_option("--from", options->from, "primera semilla buscada")->check(seeds);
  command.add_option("--to", options->to, "ultima semilla buscada")->check(seeds);
  return [options] { return run_seed(*options); };
}
