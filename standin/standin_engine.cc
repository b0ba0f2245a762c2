#include "standin_engine.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

#include "engine_core.h"

// ==== The control surface ====

namespace standin {

namespace {

// The caller holds the state lock.
bool IsAlive(const EngineCore& core,
             FlutterDesktopPluginRegistrarRef registrar) {
  return std::find(core.registrars.begin(), core.registrars.end(), registrar) !=
         core.registrars.end();
}

}  // namespace

Engine::Engine() : core_(std::make_shared<EngineCore>()) {}

Engine::~Engine() {
  SetAvailable(false);
  std::vector<FlutterDesktopPluginRegistrar*> alive;
  {
    std::lock_guard<std::mutex> lock(core_->state);
    alive = core_->registrars;
  }
  for (auto* registrar : alive) DestroyRegistrar(registrar);
  size_t sends;
  {
    std::lock_guard<std::mutex> lock(core_->state);
    sends = core_->sends.size();
  }
  for (size_t i = 0; i < sends; ++i) AnswerSendEmpty(i);
  SetDeferUnregistrations(false);
  CompleteUnregistrations();
}

FlutterDesktopPluginRegistrarRef Engine::CreateRegistrar(bool with_view) {
  auto* registrar = new FlutterDesktopPluginRegistrar();
  registrar->messenger = new FlutterDesktopMessenger(core_);
  registrar->textures = new FlutterDesktopTextureRegistrar{core_};
  if (with_view) registrar->view = new FlutterDesktopView();
  std::lock_guard<std::mutex> lock(core_->state);
  core_->registrars.push_back(registrar);
  return registrar;
}

void Engine::DestroyRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  {
    std::lock_guard<std::mutex> lock(core_->state);
    auto& all = core_->registrars;
    auto found = std::find(all.begin(), all.end(), registrar);
    if (found == all.end()) return;
    all.erase(found);
  }
  for (auto callback : registrar->on_destroyed) callback(registrar);
  {
    std::lock_guard<std::mutex> lock(core_->state);
    registrar->messenger->callbacks.clear();
  }
  registrar->messenger->Unref();
  delete registrar->textures;
  delete registrar->view;
  delete registrar;
}

FlutterDesktopMessengerRef Engine::MessengerOf(
    FlutterDesktopPluginRegistrarRef registrar) const {
  return registrar->messenger;
}

FlutterDesktopTextureRegistrarRef Engine::TextureRegistrarOf(
    FlutterDesktopPluginRegistrarRef registrar) const {
  return registrar->textures;
}

bool Engine::HasHandler(FlutterDesktopPluginRegistrarRef registrar,
                        const std::string& channel) const {
  std::lock_guard<std::mutex> lock(core_->state);
  return IsAlive(*core_, registrar) &&
         registrar->messenger->callbacks.count(channel) != 0;
}

const void* Engine::HandlerUserData(FlutterDesktopPluginRegistrarRef registrar,
                                    const std::string& channel) const {
  std::lock_guard<std::mutex> lock(core_->state);
  if (!IsAlive(*core_, registrar)) return nullptr;
  auto found = registrar->messenger->callbacks.find(channel);
  return found == registrar->messenger->callbacks.end()
             ? nullptr
             : found->second.user_data;
}

namespace {

// A record for a new message, reusing a forgotten one when there is one (its
// byte buffer keeps its capacity). The caller holds the state lock.
MessageRecord& NewRecord(EngineCore& core, MessageTicket ticket) {
  if (core.spare_records.empty()) return core.messages[ticket];
  auto node = std::move(core.spare_records.back());
  core.spare_records.pop_back();
  node.key() = ticket;
  node.mapped().response.delivered = false;
  node.mapped().response.times_sent = 0;
  node.mapped().response.sent_while_unavailable = false;
  node.mapped().response.had_bytes = false;
  node.mapped().response.bytes.clear();
  return core.messages.insert(std::move(node)).position->second;
}

}  // namespace

MessageTicket Engine::Deliver(FlutterDesktopPluginRegistrarRef registrar,
                              const std::string& channel,
                              const std::vector<uint8_t>& message,
                              bool with_response_handle) {
  FlutterDesktopMessage record{};
  record.struct_size = sizeof(record);
  record.channel = channel.c_str();
  record.message = message.empty() ? nullptr : message.data();
  record.message_size = message.size();

  FlutterDesktopMessenger::Callback callback{nullptr, nullptr};
  MessageTicket ticket;
  {
    std::lock_guard<std::mutex> lock(core_->state);
    ticket = core_->next_ticket++;
    MessageRecord& stored = NewRecord(*core_, ticket);
    stored.handle.ticket = ticket;
    // A registrar destroyed already has no handlers: "no handler".
    if (!IsAlive(*core_, registrar)) return ticket;
    auto found = registrar->messenger->callbacks.find(channel);
    if (found != registrar->messenger->callbacks.end()) {
      callback = found->second;
      stored.response.delivered = true;
    }
    if (with_response_handle) record.response_handle = &stored.handle;
  }
  if (callback.function) {
    callback.function(registrar->messenger, &record, callback.user_data);
  }
  return ticket;
}

MessageTicket Engine::DeliverEmpty(FlutterDesktopPluginRegistrarRef registrar,
                                   const std::string& channel) {
  return Deliver(registrar, channel, {});
}

Response Engine::GetResponse(MessageTicket ticket) const {
  std::lock_guard<std::mutex> lock(core_->state);
  return core_->messages.at(ticket).response;
}

size_t Engine::MessageCount() const {
  std::lock_guard<std::mutex> lock(core_->state);
  return core_->next_ticket;
}

void Engine::Forget(MessageTicket ticket) {
  std::lock_guard<std::mutex> lock(core_->state);
  auto node = core_->messages.extract(ticket);
  if (!node.empty()) core_->spare_records.push_back(std::move(node));
}

void Engine::SetAvailable(bool available) {
  std::lock_guard<std::mutex> lock(core_->messenger_lock);
  core_->available = available;
}

bool Engine::available() const { return core_->available; }

Counters Engine::counters() const {
  return {core_->add_refs, core_->releases, core_->live_messengers,
          core_->lock_calls, core_->unlock_calls};
}

void Engine::SetSendPolicy(std::function<bool(const SentMessage&)> accept) {
  std::lock_guard<std::mutex> lock(core_->state);
  core_->send_policy = std::move(accept);
}

std::vector<SentMessage> Engine::Sends() const { return SendsSince(0); }

std::vector<SentMessage> Engine::SendsSince(size_t first) const {
  std::lock_guard<std::mutex> lock(core_->state);
  std::vector<SentMessage> sends;
  for (size_t i = first; i < core_->sends.size(); ++i) {
    sends.push_back(core_->sends[i].info);
  }
  return sends;
}

namespace {

bool Answer(EngineCore& core, size_t index, const uint8_t* data, size_t size) {
  FlutterDesktopBinaryReply reply = nullptr;
  void* user_data = nullptr;
  {
    std::lock_guard<std::mutex> lock(core.state);
    if (index >= core.sends.size()) return false;
    SendRecord& record = core.sends[index];
    if (!record.info.wants_reply || !record.info.accepted ||
        record.info.answered) {
      return false;
    }
    record.info.answered = true;
    reply = record.reply;
    user_data = record.user_data;
  }
  reply(data, size, user_data);
  return true;
}

}  // namespace

bool Engine::AnswerSend(size_t index, const std::vector<uint8_t>& reply) {
  return Answer(*core_, index, reply.empty() ? nullptr : reply.data(),
                reply.size());
}

bool Engine::AnswerSendEmpty(size_t index) {
  return Answer(*core_, index, nullptr, 0);
}

size_t Engine::PendingSends() const {
  std::lock_guard<std::mutex> lock(core_->state);
  size_t pending = 0;
  for (const auto& record : core_->sends) {
    if (record.info.wants_reply && record.info.accepted &&
        !record.info.answered) {
      ++pending;
    }
  }
  return pending;
}

std::vector<TextureRecord> Engine::Textures() const {
  std::lock_guard<std::mutex> lock(core_->state);
  std::vector<TextureRecord> textures;
  for (const auto& entry : core_->textures) textures.push_back(entry.second);
  return textures;
}

namespace {

// The texture's descriptor, its frame counted; false when the id is unknown
// or, with a `wanted` kind, the texture is of the other.
bool TakeFrameRequest(EngineCore& core, int64_t texture_id,
                      std::optional<FlutterDesktopTextureType> wanted,
                      FlutterDesktopTextureInfo* info) {
  std::lock_guard<std::mutex> lock(core.state);
  auto found = core.textures.find(texture_id);
  if (found == core.textures.end()) return false;
  if (wanted && found->second.info.type != *wanted) return false;
  ++found->second.frames_requested;
  *info = found->second.info;
  return true;
}

}  // namespace

const FlutterDesktopPixelBuffer* Engine::RequestPixelBuffer(int64_t texture_id,
                                                            size_t width,
                                                            size_t height) {
  FlutterDesktopTextureInfo info{};
  if (!TakeFrameRequest(*core_, texture_id, kFlutterDesktopPixelBufferTexture,
                        &info)) {
    return nullptr;
  }
  const auto& config = info.pixel_buffer_config;
  return config.callback(width, height, config.user_data);
}

const FlutterDesktopGpuSurfaceDescriptor* Engine::RequestGpuSurface(
    int64_t texture_id, size_t width, size_t height) {
  FlutterDesktopTextureInfo info{};
  if (!TakeFrameRequest(*core_, texture_id, kFlutterDesktopGpuSurfaceTexture,
                        &info)) {
    return nullptr;
  }
  const auto& config = info.gpu_surface_config;
  return config.callback(width, height, config.user_data);
}

const void* Engine::RequestFrame(int64_t texture_id, size_t width,
                                 size_t height) {
  FlutterDesktopTextureInfo info{};
  if (!TakeFrameRequest(*core_, texture_id, std::nullopt, &info)) {
    return nullptr;
  }
  if (info.type == kFlutterDesktopPixelBufferTexture) {
    const auto& config = info.pixel_buffer_config;
    return config.callback(width, height, config.user_data);
  }
  const auto& config = info.gpu_surface_config;
  return config.callback(width, height, config.user_data);
}

void Engine::SetDeferUnregistrations(bool defer) {
  std::lock_guard<std::mutex> lock(core_->state);
  core_->defer_unregistrations = defer;
}

size_t Engine::CompleteUnregistrations() {
  std::vector<Completion> pending;
  {
    std::lock_guard<std::mutex> lock(core_->state);
    pending.swap(core_->pending_unregistrations);
    // No frame is asked for once a completion runs.
    for (const auto& completion : pending) {
      auto found = core_->textures.find(completion.texture_id);
      if (found != core_->textures.end() && found->second.unregistering) {
        core_->textures.erase(found);
      }
    }
  }
  for (const auto& completion : pending) {
    completion.callback(completion.user_data);
  }
  return pending.size();
}

size_t Engine::PendingUnregistrations() const {
  std::lock_guard<std::mutex> lock(core_->state);
  return core_->pending_unregistrations.size();
}

void Engine::SetNextTextureId(int64_t id) {
  std::lock_guard<std::mutex> lock(core_->state);
  core_->next_texture_id = id;
}

void Engine::SetMarkFrameResult(bool result) {
  std::lock_guard<std::mutex> lock(core_->state);
  core_->mark_frame_result = result;
}

}  // namespace standin

namespace standin {

std::vector<std::string> Engine::OffThreadSends() const {
  std::lock_guard<std::mutex> lock(core_->state);
  return core_->off_thread_sends;
}

void Engine::ExpectOffThreadSends(bool expected) {
  std::lock_guard<std::mutex> lock(core_->state);
  core_->expect_off_thread_sends = expected;
}

}  // namespace standin
