// The simulator's data folder: every second's bits as the experiment drew them.
//
// With --data the simulator writes the same data folder that testnuv-study
// extract recovers from a log (seconds.csv, bits.bin, provenance.json,
// SHA256SUMS), but taken from the running experiment itself: each bit as it
// is drawn, the second's number, cycle and clock from the experiment's record,
// and its wall time from the virtual clock. It is the ground truth the study
// tool is checked against.
#pragma once

#include <cstdint>
#include <string>

// What begin_sim_data made of the data folder.
enum class SimDataStart : int32_t {
  begun = 0,    // its temporary folder is made; the bits are watched
  refused = 1,  // the folder itself is refused (exists, holds the current folder): an argument error
  failed = 2,   // it could not be written (an unwritable parent, a full disk)
};

// Begin the data folder `folder` (replaced when `replace` and it holds only data files) and
// watch the experiment's bits; `error` says why when it is not begun.
SimDataStart begin_sim_data(const std::string& folder, bool replace, std::string& error);

// Finish the data folder once the run has ended and its log is closed: false with `error` set
// when a second or the folder could not be written (the folder is then left unfinished).
bool finish_sim_data(std::string& error);
