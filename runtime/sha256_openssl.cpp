// SHA-256 through libcrypto's EVP interface.
#include <openssl/evp.h>

#include "runtime/sha256.h"

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;  // the library's digest; null once failed or finished
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context != nullptr && EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->context);
    state_->context = nullptr;
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::update(const void* bytes, size_t count) {
  if (state_->context == nullptr || count == 0) return;
  if (EVP_DigestUpdate(state_->context, bytes, count) != 1) {
    EVP_MD_CTX_free(state_->context);
    state_->context = nullptr;
  }
}

std::string Sha256::finish() {
  if (state_->context == nullptr) return "";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const bool done = EVP_DigestFinal_ex(state_->context, digest, &length) == 1;
  EVP_MD_CTX_free(state_->context);
  state_->context = nullptr;
  if (!done) return "";
  return hex_digits(digest, length);
}
