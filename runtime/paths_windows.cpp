// Paths and arguments (Windows): UTF-8 inside, the wide calls at the edge.
//
// The arguments are read again from the wide command line, because argv holds
// them in the ANSI code page, where a letter outside it is lost.
#include "runtime/paths.h"

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// Return a wide text as UTF-8 (unpaired surrogates become U+FFFD).
std::string utf8_from_wide(const wchar_t* text, size_t length) {
  if (length == 0) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
  }
  return out;
}

// Return a UTF-8 text in the system's wide form (bytes that are not UTF-8 become U+FFFD).
std::wstring wide_from_utf8(std::string_view text) {
  if (text.empty()) return L"";
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring out(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  }
  return out;
}

}  // namespace

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr && count == argc) {
    for (int i = 0; i < count; ++i) arguments.push_back(utf8_from_wide(wide[i], std::wcslen(wide[i])));
  } else {
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  }
  if (wide != nullptr) LocalFree(wide);
  return arguments;
}

std::string environment_text(const char* name) {
  const std::wstring wide_name = wide_from_utf8(name);
  const wchar_t* value = _wgetenv(wide_name.c_str());
  return value != nullptr ? utf8_from_wide(value, std::wcslen(value)) : "";
}

std::filesystem::path path_from_utf8(std::string_view name) {
  return std::filesystem::path(wide_from_utf8(name));
}

std::string path_to_utf8(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return utf8_from_wide(wide.data(), wide.size());
}

std::FILE* open_path(const std::filesystem::path& path, const char* mode) {
  return _wfopen(path.c_str(), wide_from_utf8(mode).c_str());
}

std::FILE* open_input(const std::filesystem::path& path, Links links, std::string& error) {
  std::error_code code;
  if (links == Links::refuse && std::filesystem::is_symlink(std::filesystem::symlink_status(path, code))) {
    error = shown_path(path) + ": es un enlace simbolico, no un fichero";
    return nullptr;
  }
  std::FILE* stream = _wfopen(path.c_str(), L"rb");
  if (stream == nullptr) {
    error = shown_path(path) + ": " + std::strerror(errno);
    return nullptr;
  }
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    error = shown_path(path) + ": no es un fichero normal (un dispositivo, una tuberia o un socket)";
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

std::FILE* create_new_file(const std::filesystem::path& path) {
  // _O_EXCL asks the system for CREATE_NEW: an existing name, a link among them, is refused.
  const int descriptor = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  std::FILE* stream = _fdopen(descriptor, "wb");
  if (stream == nullptr) _close(descriptor);
  return stream;
}

namespace {

UINT console_page = 0;  // the console's output code page before the program changed it

// Give the console back the code page it had.
void restore_console_page() { SetConsoleOutputCP(console_page); }

}  // namespace

void prepare_message_output() {
  console_page = GetConsoleOutputCP();
  if (console_page == 0 || console_page == CP_UTF8) return;  // no console, or UTF-8 already
  if (SetConsoleOutputCP(CP_UTF8)) std::atexit(restore_console_page);
}
