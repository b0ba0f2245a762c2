#include "plugin_library.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

namespace kelmor_host {

namespace {

#ifdef _WIN32
constexpr char kLibraryName[] = "kelmor_plugin.dll";

std::string LastErrorText() {
  return "Windows error " + std::to_string(GetLastError());
}

std::string ProgramPath() {
  std::vector<char> path(32768);
  const DWORD length =
      GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return std::string(path.data(), length);
}
#else
constexpr char kLibraryName[] = "libkelmor_plugin.so";

std::string ProgramPath() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  return length > 0 ? std::string(path.data(), static_cast<size_t>(length))
                    : std::string();
}
#endif

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path,
                                                   std::string* error) {
#ifdef _WIN32
  void* handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) *error = LastErrorText();
#else
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
  if (symbol == nullptr) *error = LastErrorText();
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
  return program.substr(0, slash + 1) + kLibraryName;
}

}  // namespace kelmor_host
