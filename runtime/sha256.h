// SHA-256 of byte streams, for the checksums of data folders and logs.
//
// One implementation per platform library: sha256_openssl.cpp (libcrypto),
// sha256_windows.cpp (Windows CNG).
// The state is opaque, so no library header leaks beyond that file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// A running SHA-256 digest.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  // Add bytes to the digest.
  void update(const void* bytes, size_t count);
  // Finish the digest and return it as 64 lower-case hex digits ("" if the library failed).
  std::string finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Return bytes as lower-case hex digits, two a byte.
std::string hex_digits(const unsigned char* bytes, size_t count);

// Return the SHA-256 of a text as 64 hex digits.
std::string sha256_of(const std::string& bytes);

// Hash a whole file; false with `error` set when it cannot be read. `bytes` gets its size.
bool sha256_of_file(const std::filesystem::path& file, std::string& digest, uint64_t& bytes,
                    std::string& error);
