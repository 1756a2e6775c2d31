// The exit statuses of testnuv-study, one meaning each, for every subcommand.
#pragma once

constexpr int EXIT_DONE = 0;          // done; one seed found; every record agrees
constexpr int EXIT_TROUBLE = 1;       // a file could not be read or written
constexpr int EXIT_USAGE = 2;         // bad arguments
constexpr int EXIT_SEVERAL = 3;       // several seeds give the log
constexpr int EXIT_NO_SEED = 4;       // no seed gives the log
constexpr int EXIT_DISAGREES = 5;     // a record of the log disagrees with the replay
