// Settling a log's seed from its provenance record or by a search.
#include "study/seed_finding.h"

#include "study/provenance_file.h"

namespace {

// Check the candidates of a search record by record, and tell what they leave.
void check_candidates(const LoadedLog& log, SeedFinding& finding) {
  SeedCandidates& candidates = finding.candidates;
  // No seed gives every window searched: one seed that gives all of them but one is the log's
  // own, and a record among its first is damaged.
  if (candidates.count == 0 && candidates.near_count <= MAX_LISTED) {
    candidates.near_seeds = seeds_missing_one(window_ones(log.text), candidates.near_seeds);
    candidates.near_count = candidates.near_seeds.size();
  }
  finding.near = candidates.count == 0 && candidates.near_count == 1;
  if (finding.near) {
    candidates.seeds = candidates.near_seeds;
    candidates.count = 1;
  }
  for (uint32_t seed : candidates.seeds) {
    const LogCheckResult check = check_seed(log, seed);
    if (check.agrees) {
      finding.agreeing.push_back(seed);
      finding.records = check.records_checked;
    } else if (finding.first_failure.agrees) {
      finding.first_failure = check;
    }
  }
  finding.unchecked = candidates.count - candidates.seeds.size();
  if (finding.agreeing.size() == 1 && finding.unchecked == 0) {
    finding.verdict = SeedVerdict::found;
    finding.seed = finding.agreeing.front();
  } else if (finding.agreeing.empty() && finding.unchecked == 0 && candidates.count == 1) {
    finding.verdict = SeedVerdict::pinned;
    finding.seed = candidates.seeds.front();
  } else if (finding.agreeing.empty() && finding.unchecked == 0) {
    finding.verdict = SeedVerdict::none;
  } else {
    finding.verdict = SeedVerdict::several;
  }
}

}  // namespace

SeedFinding find_log_seed(const LoadedLog& log, uint32_t from, uint32_t to, const SearchProgress& progress) {
  SeedFinding finding;
  finding.recorded = log.has_run ? json_integer(log.run, "seed", -1) : -1;
  if (finding.recorded > int64_t{UINT32_MAX}) finding.recorded = -1;
  if (finding.recorded >= 0) {
    const LogCheckResult check = check_seed(log, static_cast<uint32_t>(finding.recorded));
    if (check.agrees) {
      finding.verdict = SeedVerdict::found;
      finding.seed = static_cast<uint32_t>(finding.recorded) & SEED_MASK;
      finding.how = "provenance";
      finding.records = check.records_checked;
      return finding;
    }
    finding.record_check = check;  // the record's seed or the log is wrong: the search tells which
  }
  if (log.text.records.empty() && log.text.bad_line != 0) {
    finding.verdict = SeedVerdict::not_a_log;
    return finding;
  }
  const std::vector<int32_t> ones = window_ones(log.text);
  finding.windows = ones.size();
  if (ones.empty()) {
    finding.verdict = SeedVerdict::no_windows;
    return finding;
  }
  finding.candidates = search_seeds(ones, from, to, MAX_LISTED, progress);
  check_candidates(log, finding);
  return finding;
}
