// Test helper: a disk of settable capacity in front of the real files, through
// the file layer's system-call seam. Writes past the capacity write what fits
// and fail with ENOSPC; syncs and cuts can be made to fail.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "runtime/files.h"

struct FakeDisk {
  static inline int64_t capacity = INT64_MAX;  // the largest file the disk takes
  static inline bool sync_fails = false;
  static inline bool cut_fails = false;
  static inline int64_t writes = 0;  // write calls that reached the disk
  static inline int64_t syncs = 0;   // sync calls, failed ones included

  // Plug the fake disk in, with room for everything.
  static void install() {
    capacity = INT64_MAX;
    sync_fails = cut_fails = false;
    writes = syncs = 0;
    static const FileSystemCalls calls{write, sync, cut};
    use_file_system_calls(&calls);
  }
  // Give the file layer its system calls back.
  static void remove() {
    capacity = INT64_MAX;
    sync_fails = cut_fails = false;
    use_file_system_calls(nullptr);
  }

  static size_t write(std::FILE* stream, const char* bytes, size_t count) {
    ++writes;
    const int64_t room = std::max<int64_t>(0, capacity - std::ftell(stream));
    const size_t take = static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(count)));
    const size_t written = take > 0 ? system_file_calls().write(stream, bytes, take) : 0;
    if (written < count) errno = ENOSPC;
    return written;
  }
  static bool sync(std::FILE* stream) {
    ++syncs;
    if (!sync_fails) return system_file_calls().sync(stream);
    errno = EIO;
    return false;
  }
  static bool cut(std::FILE* stream, int64_t size) {
    if (!cut_fails) return system_file_calls().cut(stream, size);
    errno = EIO;
    return false;
  }
};
