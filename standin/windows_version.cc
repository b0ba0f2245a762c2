#include "windows_version.h"

#include <atomic>
#include <cstdlib>

#include "windows_version_api.h"

namespace standin {

namespace {

std::atomic<uint32_t> current_major{10};
std::atomic<uint32_t> current_minor{0};
std::atomic<uint16_t> current_service_pack{0};

// Each version field's condition sits in three bits of the mask, at three
// times the index of its type bit.
constexpr int kConditionBits = 3;
constexpr int kVersionFields = 8;

int ConditionShift(DWORD type_bit) {
  int index = 0;
  while (index < kVersionFields && type_bit != (DWORD{1} << index)) ++index;
  return kConditionBits * index;
}

BYTE ConditionOf(DWORDLONG condition_mask, DWORD type_bit) {
  return static_cast<BYTE>((condition_mask >> ConditionShift(type_bit)) & 7);
}

bool Satisfies(int order, BYTE condition) {
  switch (condition) {
    case 1:  // equal
      return order == 0;
    case 2:  // greater
      return order > 0;
    case 3:  // greater or equal
      return order >= 0;
    case 4:  // less
      return order < 0;
    case 5:  // less or equal
      return order <= 0;
    default:
      return false;
  }
}

int CompareField(uint32_t current, uint32_t wanted) {
  return current < wanted ? -1 : (current > wanted ? 1 : 0);
}

}  // namespace

void SetWindowsVersion(const WindowsVersion& version) {
  current_major = version.major;
  current_minor = version.minor;
  current_service_pack = version.service_pack_major;
}

WindowsVersion GetWindowsVersion() {
  return {current_major, current_minor, current_service_pack};
}

bool ParseWindowsVersion(const std::string& text, WindowsVersion* version) {
  unsigned long parts[3] = {0, 0, 0};
  const char* cursor = text.c_str();
  int count = 0;
  while (count < 3) {
    char* end = nullptr;
    if (*cursor < '0' || *cursor > '9') return false;
    parts[count++] = std::strtoul(cursor, &end, 10);
    cursor = end;
    if (*cursor == '\0') break;
    if (*cursor++ != '.') return false;
  }
  if (count < 2 || *cursor != '\0' || parts[0] > 0xFFFFFFFFul ||
      parts[1] > 0xFFFFFFFFul || parts[2] > 0xFFFFul) {
    return false;
  }
  *version = {static_cast<uint32_t>(parts[0]), static_cast<uint32_t>(parts[1]),
              static_cast<uint16_t>(parts[2])};
  return true;
}

}  // namespace standin

extern "C" {

ULONGLONG VerSetConditionMask(ULONGLONG condition_mask, DWORD type_mask,
                              BYTE condition) {
  for (int index = 0; index < standin::kVersionFields; ++index) {
    if ((type_mask & (DWORD{1} << index)) == 0) continue;
    const int shift = standin::kConditionBits * index;
    condition_mask &= ~(ULONGLONG{7} << shift);
    condition_mask |= ULONGLONG{condition & 7u} << shift;
  }
  return condition_mask;
}

// Major, minor and service-pack major form one version, compared field by
// field in that order under the condition of the first field tested.
BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* version_info, DWORD type_mask,
                        DWORDLONG condition_mask) {
  const standin::WindowsVersion current = standin::GetWindowsVersion();
  const struct {
    DWORD bit;
    uint32_t current;
    uint32_t wanted;
  } fields[] = {
      {VER_MAJORVERSION, current.major, version_info->dwMajorVersion},
      {VER_MINORVERSION, current.minor, version_info->dwMinorVersion},
      {VER_SERVICEPACKMAJOR, current.service_pack_major,
       version_info->wServicePackMajor},
  };
  int order = 0;
  BYTE condition = 0;
  for (const auto& field : fields) {
    if ((type_mask & field.bit) == 0) continue;
    if (condition == 0) {
      condition = standin::ConditionOf(condition_mask, field.bit);
    }
    if (order == 0) order = standin::CompareField(field.current, field.wanted);
  }
  return condition != 0 && standin::Satisfies(order, condition) ? 1 : 0;
}

}  // extern "C"
