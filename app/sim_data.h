// The simulator's data folder: every second's bits as the experiment drew them.
//
// With --data the simulator writes the same data folder that testnuv-study
// extract recovers from a log (seconds.csv, bits.bin, provenance.json,
// SHA256SUMS), but taken from the running experiment itself: each bit as it
// is drawn, the second's number, cycle and clock from the experiment's record,
// and its wall time from the virtual clock. It is the ground truth the study
// tool is checked against.
#pragma once

#include <string>

// Begin the data folder `folder` (replaced when `replace` and it holds only data files) and
// watch the experiment's bits; false with `error` set when the folder is refused.
bool begin_sim_data(const std::string& folder, bool replace, std::string& error);

// Finish the data folder once the run has ended and its log is closed: false with `error` set
// when a second or the folder could not be written (the folder is then left unfinished).
bool finish_sim_data(std::string& error);
