// The study log: the file "estudio_" + start date and every record written to it.
//
// Records go through the print operations of runtime/print.h to the channel
// log_number of the experiment record; each record is flushed to the disk as
// soon as it is complete, so a killed run loses nothing already recorded.
// Lines end in CR LF; "ú" is the single Latin-1 byte 0xFA.
#pragma once

#include <filesystem>

#include "runtime/text.h"

// Return the log's file name for a date text: "estudio_" + date.
Text study_log_name(const Text& date);

// Return the first name of the form name.1, name.2, ... that no file has.
std::filesystem::path free_aside_name(const std::filesystem::path& name);

// Create the study log for today under log_number, moving an older file of that name aside.
// When it cannot be created, say why on standard error; the run goes on without a log.
void open_study_log();

// Write the record of the 15-minute checkpoint that the current window calls for.
void write_15min_record();

// Write the record of the 5-minute checkpoint that the current window calls for.
void write_5min_record();

// Write the record of a completed 12-hour cycle.
void write_cycle_record();
