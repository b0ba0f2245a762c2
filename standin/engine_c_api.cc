// The engine's C interface, as the stand-in implements it.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine_core.h"

// ==== The engine's C interface ====

extern "C" {

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar->messenger;
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar->textures;
}

FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef registrar) {
  return registrar->view;
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar,
    FlutterDesktopOnPluginRegistrarDestroyed callback) {
  auto& callbacks = registrar->on_destroyed;
  if (callback != nullptr && std::find(callbacks.begin(), callbacks.end(),
                                       callback) == callbacks.end()) {
    callbacks.push_back(callback);
  }
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel, const uint8_t* message,
                                 size_t message_size) {
  standin::CheckSendThread(*messenger, channel);
  return standin::RecordSend(*messenger->core, channel, message, message_size,
                             nullptr, nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          size_t message_size,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  standin::CheckSendThread(*messenger, channel);
  return standin::RecordSend(*messenger->core, channel, message, message_size,
                             reply, user_data);
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length) {
  auto& core = *messenger->core;
  std::lock_guard<std::mutex> lock(core.state);
  standin::Response& response = core.messages.at(handle->ticket).response;
  ++response.times_sent;
  if (!core.available) response.sent_while_unavailable = true;
  response.had_bytes = data != nullptr;
  response.bytes.assign(data, data + data_length);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  std::lock_guard<std::mutex> lock(messenger->core->state);
  if (callback == nullptr) {
    messenger->callbacks.erase(channel);
  } else {
    messenger->callbacks[channel] = {callback, user_data};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  ++messenger->core->add_refs;
  ++messenger->refs;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  ++messenger->core->releases;
  messenger->Unref();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return messenger->core->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  ++messenger->core->lock_calls;
  messenger->core->messenger_lock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  ++messenger->core->unlock_calls;
  messenger->core->messenger_lock.unlock();
}

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar,
    const FlutterDesktopTextureInfo* info) {
  auto& core = *texture_registrar->core;
  std::lock_guard<std::mutex> lock(core.state);
  standin::TextureRecord record;
  record.id = core.next_texture_id++;
  record.info = *info;
  const auto* bytes = reinterpret_cast<const uint8_t*>(info);
  record.descriptor.assign(bytes, bytes + sizeof(FlutterDesktopTextureInfo));
  core.textures[record.id] = record;
  return record.id;
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id) {
  auto& core = *texture_registrar->core;
  std::lock_guard<std::mutex> lock(core.state);
  auto found = core.textures.find(texture_id);
  if (found == core.textures.end() || found->second.unregistering) {
    return false;
  }
  ++found->second.frames_marked;
  return core.mark_frame_result;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef texture_registrar, int64_t texture_id,
    FlutterDesktopOnTextureUnregistered callback, void* user_data) {
  auto& core = *texture_registrar->core;
  {
    std::lock_guard<std::mutex> lock(core.state);
    if (callback != nullptr && core.defer_unregistrations) {
      // Frames may still be asked for until the completion runs.
      auto found = core.textures.find(texture_id);
      if (found != core.textures.end()) found->second.unregistering = true;
      core.pending_unregistrations.push_back({callback, user_data, texture_id});
      return;
    }
    core.textures.erase(texture_id);
    if (callback == nullptr) return;
  }
  callback(user_data);
}

}  // extern "C"
