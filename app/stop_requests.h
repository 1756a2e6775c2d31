// Requests from the operating system to stop the experiment (SIGINT, SIGTERM
// and SIGHUP; on Windows the console's Ctrl+C, Ctrl+Break and close events).
//
// A request sets the program's stop flag (request_stop, runtime/program.h),
// which the loop reads wherever it reads the space key, and wakes the loop
// from its wait; the program then ends through its orderly path, the study
// log closed and the screen released, with exit code 0. The flag lives apart
// from the key queue, so no number of keys can push a request out.
#pragma once

// Start watching for stop requests. Call once, before the start-up.
void watch_stop_requests();
