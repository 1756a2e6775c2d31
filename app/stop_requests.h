// Requests from the operating system to stop the experiment (SIGINT, SIGTERM
// and SIGHUP; on Windows the console's Ctrl+C and close events).
//
// A request ends the program through its orderly path, the one the space bar
// takes: a space is put into the key queue, so the study log is closed and the
// screen released by the program's own end.
#pragma once

// Start watching for stop requests. Call once, after the screen is open.
void watch_stop_requests();
