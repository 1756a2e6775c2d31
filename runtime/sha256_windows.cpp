// SHA-256 through Windows' own CNG (bcrypt.dll), so the Windows build needs no libcrypto.
#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "runtime/sha256.h"

namespace {

constexpr ULONG SHA256_BYTES = 32;

struct Handles {
  BCRYPT_ALG_HANDLE algorithm = nullptr;  // the SHA-256 provider; null once failed or finished
  BCRYPT_HASH_HANDLE hash = nullptr;      // the running digest
};

// Close the provider and the digest; the digest is then failed or finished.
void close_handles(Handles& handles) {
  if (handles.hash != nullptr) BCryptDestroyHash(handles.hash);
  if (handles.algorithm != nullptr) BCryptCloseAlgorithmProvider(handles.algorithm, 0);
  handles.hash = nullptr;
  handles.algorithm = nullptr;
}

}  // namespace

struct Sha256::State : Handles {};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM,
                                                  nullptr, 0))) {
    state_->algorithm = nullptr;
    return;
  }
  // CNG keeps the digest's object itself when no buffer is given (Windows 7 and later).
  if (!BCRYPT_SUCCESS(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
    state_->hash = nullptr;
    close_handles(*state_);
  }
}

Sha256::~Sha256() { close_handles(*state_); }

void Sha256::update(const void* bytes, size_t count) {
  auto* next = static_cast<const UCHAR*>(bytes);
  while (state_->hash != nullptr && count > 0) {
    const ULONG part = count > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(count);
    if (!BCRYPT_SUCCESS(BCryptHashData(state_->hash, const_cast<PUCHAR>(next), part, 0))) {
      close_handles(*state_);
      return;
    }
    next += part;
    count -= part;
  }
}

std::string Sha256::finish() {
  if (state_->hash == nullptr) return "";
  UCHAR digest[SHA256_BYTES];
  const bool done = BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, digest, SHA256_BYTES, 0));
  close_handles(*state_);
  return done ? hex_digits(digest, SHA256_BYTES) : "";
}
