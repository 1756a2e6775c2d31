// The study log: the file "estudio_" + start date and every record written to it.
//
// Records go through the print operations of runtime/print.h to the channel
// log_number of the experiment record; each record is passed to the disk as a
// whole as soon as it is complete, so a killed run loses nothing already
// recorded and the file always ends with a whole record. Where files are synced
// at the end (FileSync::at_end, runtime/files.h: the simulator's choice) each
// record is passed whole to the system as soon as it is complete, and the log
// is synced once when the program ends. Records that the disk
// refuses are kept in memory and written, in order, as soon as it takes them
// again; standard error hears of the first failure and of the recovery, and a
// run that ends with records missing ends with exit status 1.
// Lines end in CR LF; "ú" is the single Latin-1 byte 0xFA.
#pragma once

#include <filesystem>

#include "runtime/files.h"
#include "runtime/text.h"

// Return the log's file name for a date text: "estudio_" + date.
Text study_log_name(const Text& date);

// Return name.N with N one past the highest number that a name.N in its folder has (name.1 when none).
std::filesystem::path next_aside_name(const std::filesystem::path& name);

// Return the name the study log was opened under ("" before open_study_log).
const Text& study_log_file();

// Return what the study log lacks or lacked: records still held, dropped, or written late
// (after the log is closed, as it was at the close).
FileBacklog study_log_backlog();

// The exit status of a run that found the day's log held by another run.
constexpr int32_t EXIT_LOG_IN_USE = 3;

// What open_study_log made of the day's log.
enum class LogOpening : int32_t {
  open = 0,     // created; this run holds it until it ends
  missing = 1,  // it could not be created; the run goes on without a log
  in_use = 2,   // another run holds it; nothing was moved or written
};

// Return the name of the lock file that a run holds beside its log for its whole life.
Text study_log_lock_name(const Text& log);

// Create the study log for today under log_number, moving an older file of that name aside,
// and hold it through its lock file until the process ends. When another run holds it, say so
// on standard error, naming that run's process id, and touch nothing. When it cannot be
// created, say why on standard error; the run goes on without a log. At the program's end, sync
// the log and say on standard error how many records it lacks, or that the sync failed and how
// many records that leaves in doubt (exit status 1).
LogOpening open_study_log();

// Write the record of the 15-minute checkpoint that the current window calls for.
void write_15min_record();

// Write the record of the 5-minute checkpoint that the current window calls for.
void write_5min_record();

// Write the record of a completed 12-hour cycle.
void write_cycle_record();
