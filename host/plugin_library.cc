#include "plugin_library.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "utf16_text.h"
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

namespace kelmor_host {

namespace {

#ifdef _WIN32
constexpr char kLibraryName[] = "kelmor_plugin.dll";

std::string ProgramPath() {
  std::vector<wchar_t> path(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return Utf8FromWide(path.data(), length);
}

// The full path, so that the loader takes the file a relative path names
// rather than searching for it; it then also looks for the library's own
// dependencies beside it.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  std::vector<wchar_t> full(32768);
  const DWORD length = GetFullPathNameW(
      wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return wide;
  return std::wstring(full.data(), length);
}
#else
constexpr char kLibraryName[] = "libkelmor_plugin.so";

std::string ProgramPath() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  return length > 0 ? std::string(path.data(), static_cast<size_t>(length))
                    : std::string();
}

// dlopen searches its library path for a name without a slash.
std::string PathInFolder(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}
#endif

}  // namespace

#ifdef _WIN32
std::string WindowsErrorText(unsigned long code, const std::string& subject) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::string text = length > 0 ? Utf8FromWide(buffer, length) : "";
  LocalFree(buffer);
  // Messages end in a line break, and a few run over several lines.
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  // Some messages name what failed as %1, e.g. "%1 is not a valid Win32
  // application."
  for (size_t at = text.find("%1"); at != std::string::npos;
       at = text.find("%1", at + subject.size())) {
    text.replace(at, 2, subject);
  }
  const std::string number = "Windows error " + std::to_string(code);
  return text.empty() ? number : text + " (" + number + ")";
}
#endif

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path,
                                                   std::string* error) {
#ifdef _WIN32
  // No message box for a library Windows cannot map: the reason goes to
  // `error`.
  DWORD old_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, &old_mode);
  void* handle = LoadLibraryExW(FullPath(path).c_str(), nullptr,
                                LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle == nullptr) *error = WindowsErrorText(GetLastError(), path);
  SetThreadErrorMode(old_mode, nullptr);
#else
  void* handle = dlopen(PathInFolder(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) *error = dlerror();
#endif
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle));
}

RegisterFunction PluginLibrary::FindRegisterFunction(const std::string& name,
                                                     std::string* error) const {
#ifdef _WIN32
  auto symbol = reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle_), name.c_str())));
  if (symbol == nullptr) *error = WindowsErrorText(GetLastError(), name);
#else
  auto symbol =
      reinterpret_cast<RegisterFunction>(dlsym(handle_, name.c_str()));
  if (symbol == nullptr) *error = dlerror();
#endif
  return symbol;
}

std::string DefaultPluginPath() {
  const std::string program = ProgramPath();
  const size_t slash = program.find_last_of("/\\");
  if (slash == std::string::npos) return kLibraryName;
  const std::string folder = program.substr(0, slash + 1);
#ifndef _WIN32
  // Installed, the host is in bin/ and the library in lib/ beside it.
  const std::string installed = folder + "../lib/" + kLibraryName;
  if (access((folder + kLibraryName).c_str(), F_OK) != 0 &&
      access(installed.c_str(), F_OK) == 0) {
    return installed;
  }
#endif
  return folder + kLibraryName;
}

}  // namespace kelmor_host
