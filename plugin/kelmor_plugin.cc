#include "kelmor_plugin.h"

#include <iostream>
#include <set>
#include <string>

#include "flutter/method_channel.h"
#include "flutter/standard_method_codec.h"
#include "windows_version_api.h"

namespace kelmor {

namespace {

constexpr char kChannelName[] = "kelmor";
constexpr char kGetPlatformVersion[] = "getPlatformVersion";

// The registrars that own a registered KelmorPlugin. Made on first use and
// never destroyed; each plugin takes its registrar out as it goes, so a later
// registrar at the same address starts unserved.
std::set<const flutter::PluginRegistrarWindows*>& RegistrarsServed() {
  static auto* served = new std::set<const flutter::PluginRegistrarWindows*>();
  return *served;
}

std::string PlatformVersionText() {
  std::string text = "Windows ";
  if (KelmorPlugin::IsVersionAtLeast(10, 0, 0)) {
    text += "10+";
  } else if (KelmorPlugin::IsVersionAtLeast(6, 2, 0)) {
    text += "8";
  } else if (KelmorPlugin::IsVersionAtLeast(6, 1, 0)) {
    text += "7";
  }
  return text;
}

}  // namespace

void KelmorPlugin::RegisterWithRegistrar(
    flutter::PluginRegistrarWindows* registrar) {
  // A second plugin would take the channel from the first and then sit
  // unreachable until the registrar goes; the first one stays instead.
  if (RegistrarsServed().count(registrar) != 0) {
    std::cerr << "Warning: The kelmor plugin is already registered with this "
                 "registrar. Ignoring duplicate registration."
              << std::endl;
    return;
  }
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  flutter::MethodChannel<> channel(registrar->GetMessenger(), kChannelName,
                                   &codec);
  auto plugin = std::make_unique<KelmorPlugin>(registrar);
  KelmorPlugin* handler_target = plugin.get();
  // Owned first: if installing the handler fails, no handler is left
  // pointing at a plugin that is gone.
  registrar->AdoptPlugin(std::move(plugin));
  channel.SetCallHandler([handler_target](const auto& call, auto result) {
    handler_target->HandleMethodCall(call, std::move(result));
  });
  RegistrarsServed().insert(registrar);
}

KelmorPlugin::~KelmorPlugin() { RegistrarsServed().erase(registrar_); }

void KelmorPlugin::HandleMethodCall(
    const flutter::MethodCall<flutter::EncodableValue>& method_call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
  if (method_call.MethodName() != kGetPlatformVersion) {
    result->NotImplemented();
    return;
  }
  result->Success(flutter::EncodableValue(PlatformVersionText()));
}

bool KelmorPlugin::IsVersionAtLeast(uint16_t major, uint16_t minor,
                                    uint16_t service_pack_major) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = service_pack_major;

  DWORDLONG condition_mask = 0;
  condition_mask =
      VerSetConditionMask(condition_mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition_mask =
      VerSetConditionMask(condition_mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition_mask = VerSetConditionMask(condition_mask, VER_SERVICEPACKMAJOR,
                                       VER_GREATER_EQUAL);
  return VerifyVersionInfoW(
             &info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
             condition_mask) != 0;
}

}  // namespace kelmor
