// The facts of a run that the experiment makes and the study tool reads back:
// the bits of a second, the windows the checkpoints close, the 12-hour cycle,
// the generator's seeds, and the texts that open the study log's records.
// Each is defined here alone; the experiment writes by them and the study
// tool reads and replays by them.
#pragma once

#include <cstdint>

// The bits drawn in each second; packed, first bit in the top bit, they fill BYTES_PER_SECOND bytes.
constexpr int32_t BITS_PER_SECOND = 200;
constexpr int32_t BYTES_PER_SECOND = BITS_PER_SECOND / 8;

// Seconds in the 5- and 15-minute windows; a checkpoint closes each at a multiple of its length.
constexpr int32_t WINDOW_5MIN = 300;
constexpr int32_t WINDOW_15MIN = 900;

// Seconds in a 12-hour cycle: 720 minutes and the second plotted at minute 720.
constexpr int64_t CYCLE_SECONDS = 43201;

// The generator runs on 31 bits of state: seeds S and S + SEED_PERIOD give the same bits, and
// SEED_MASK is the highest seed that gives bits of its own.
constexpr uint32_t SEED_MASK = 0x7FFFFFFFu;
constexpr uint64_t SEED_PERIOD = uint64_t{SEED_MASK} + 1;

// The texts that open the study log's records. A 15-minute record's title starts with MARK_15MIN;
// each title names the lean of its window, and the counts follow it (the larger first, the zeros
// first when balanced).
constexpr char MARK_15MIN[] = ">>>>>";
constexpr char TITLE_15MIN_ZERO[] = " checkpoint 15 min 0 > 1 : ";
constexpr char TITLE_15MIN_ONE[] = " checkpoint 15 min 1 > 0 : ";
constexpr char TITLE_15MIN_BALANCED[] = " checkpoint 15min 0 = 1 : ";
constexpr char TITLE_5MIN_ZERO[] = " checkpoint 5 min. 0 > 1 : ";
constexpr char TITLE_5MIN_ONE[] = " checkpoint 5 min. 1 > 0 : ";
constexpr char TITLE_5MIN_BALANCED[] = " checkpoint 5min. 0 = 1 : ";
constexpr char CYCLE_TEXT[] = "ciclos de 12 horas completados: ";
