// Stand-ins for VerSetConditionMask and VerifyVersionInfoW on systems
// without the Windows API. They test major version, minor version and
// service-pack major, compared in that order, against a version set here
// (10.0, service pack 0, until changed).
#ifndef STANDIN_WINDOWS_VERSION_H_
#define STANDIN_WINDOWS_VERSION_H_

#include <cstdint>
#include <string>

namespace standin {

struct WindowsVersion {
  uint32_t major = 10;
  uint32_t minor = 0;
  uint16_t service_pack_major = 0;
};

void SetWindowsVersion(const WindowsVersion& version);
WindowsVersion GetWindowsVersion();

// "6.3" or "6.1.1" (major.minor[.service pack]); false on anything else.
bool ParseWindowsVersion(const std::string& text, WindowsVersion* version);

}  // namespace standin

#endif  // STANDIN_WINDOWS_VERSION_H_
