// Pacing of the live program: when each second of the experiment starts,
// measured on the program's own timeline.
//
// Runs the real start-up and loop with the platform's back-end, on the system
// clock seen through a recorder that keeps every timer reading. A stop request
// (SIGTERM, SIGINT, SIGHUP) or the space bar ends the run; at the end each
// second's start is found (the first reading after the one that reached the
// previous start + 1.0) and compared with the whole timer second it belongs to.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/stop_requests.h"
#include "experiment/loop.h"
#include "gfx/driver.h"
#include "runtime/clock.h"
#include "runtime/program.h"

namespace {

// The system clock, with every timer reading written down.
class RecordingClock : public ClockSource {
 public:
  explicit RecordingClock(ClockSource& inner) : inner_(inner) { readings.reserve(1 << 22); }
  double timer() override {
    const double t = inner_.timer();
    readings.push_back(t);
    return t;
  }
  std::tm local_time() override { return inner_.local_time(); }
  void sleep(int32_t ms) override { inner_.sleep(ms); }
  void wait_until(double deadline, WakeSignal& signal, uint64_t seen) override {
    inner_.wait_until(deadline, signal, seen);
  }
  std::vector<double> readings;  // every timer() value, in order

 private:
  ClockSource& inner_;
};

RecordingClock* recorder = nullptr;
size_t first_second = 0;  // index of the first loop reading: the start of second 1

// Note where the loop begins, then watch for stop requests as the program does.
void on_started() {
  first_second = recorder->readings.size();
  watch_stop_requests();
}

// Print how late each second started against its whole timer second, and any skipped second.
void report_pacing() {
  const std::vector<double>& r = recorder->readings;
  if (first_second >= r.size()) return;
  std::vector<double> late_ms;
  int32_t skipped = 0;
  double start = std::nearbyint(r[first_second]);
  for (size_t i = first_second + 1; i + 1 < r.size(); ++i) {
    if (r[i] - start < 1.0) continue;
    const double next = r[i + 1];  // the reading after the one that reached start + 1.0
    late_ms.push_back((next - (start + 1.0)) * 1000.0);
    const double whole = std::nearbyint(next);
    if (whole != start + 1.0) ++skipped;
    start = whole;
    ++i;
  }
  if (late_ms.empty()) return;
  std::vector<double> sorted = late_ms;
  std::sort(sorted.begin(), sorted.end());
  double sum = 0.0;
  for (double v : late_ms) sum += v;
  const auto over = std::count_if(late_ms.begin(), late_ms.end(), [](double v) { return v > 5.0; });
  std::printf("seconds measured: %zu\n", late_ms.size());
  std::printf("start after the whole second, ms: mean %.3f, median %.3f, p99 %.3f, max %.3f\n",
              sum / late_ms.size(), sorted[sorted.size() / 2],
              sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)], sorted.back());
  std::printf("seconds starting more than 5 ms late: %ld\n", static_cast<long>(over));
  std::printf("seconds skipped: %d\n", skipped);
  std::printf("timer readings: %zu\n", r.size());
  std::fflush(stdout);
}

}  // namespace

int main() {
  static RecordingClock clock(active_clock());
  recorder = &clock;
  use_clock(&clock);
  at_program_end(report_pacing);
  experiment_main(SCREEN_FULLSCREEN, on_started);
}
