// Test helper: a real file system of a few KiB (tmpfs) mounted on a folder for
// one test, to fill up for real. Mounting needs root; where it is refused,
// mounted() is false and the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

class SmallFileSystem {
 public:
  // Mount a tmpfs of `size` ("16k") on `at`, created if missing; `flags` as mount(2) takes
  // them (MS_RDONLY: a file system nobody, root included, can write to).
  SmallFileSystem(const std::filesystem::path& at, const char* size, unsigned long flags = 0)
      : path_(at) {
    std::filesystem::create_directories(at);
    const std::string options = std::string("size=") + size;
    mounted_ = geteuid() == 0 && mount("tnvfull", at.c_str(), "tmpfs", flags, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  // True when the file system is there.
  bool mounted() const { return mounted_; }
  // Take every free byte with the file "relleno".
  void fill() {
    std::FILE* filler = std::fopen((path_ / "relleno").c_str(), "wb");
    if (filler == nullptr) return;
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    }
    while (std::fputc('f', filler) != EOF) {
    }
    std::fclose(filler);
  }
  // Give the space back.
  void empty() { std::filesystem::remove(path_ / "relleno"); }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
};

// The message of a test skipped where no file system can be mounted.
constexpr const char* NO_MOUNT = "no se puede montar un tmpfs aqui (hace falta root)";
