// The stand-in engine's state, shared by its C interface and its control
// surface, and the engine's handle types as the stand-in defines them.
// Internal to the stand-in.
#ifndef STANDIN_ENGINE_CORE_H_
#define STANDIN_ENGINE_CORE_H_

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "standin_engine.h"

struct FlutterDesktopMessageResponseHandle {
  size_t ticket;
};

namespace standin {

struct MessageRecord {
  FlutterDesktopMessageResponseHandle handle{0};
  Response response;
};

struct SendRecord {
  SentMessage info;
  FlutterDesktopBinaryReply reply = nullptr;
  void* user_data = nullptr;
};

struct Completion {
  FlutterDesktopOnTextureUnregistered callback;
  void* user_data;
  int64_t texture_id;  // forgotten as the completion runs
};

// State shared by the engine object and the handles it gave out; handles
// that outlive the engine (messengers still referenced) keep it alive.
struct EngineCore {
  std::mutex messenger_lock;  // FlutterDesktopMessengerLock's mutex
  mutable std::mutex state;   // guards everything below
  std::atomic<bool> available{true};
  std::atomic<int64_t> add_refs{0};
  std::atomic<int64_t> releases{0};
  std::atomic<int64_t> live_messengers{0};
  std::atomic<int64_t> lock_calls{0};
  std::atomic<int64_t> unlock_calls{0};

  using Messages = std::map<MessageTicket, MessageRecord>;
  Messages messages;  // nodes never move
  MessageTicket next_ticket = 0;
  // Records of forgotten messages, kept for reuse so that a long run of
  // deliveries allocates nothing for its bookkeeping.
  std::vector<Messages::node_type> spare_records;
  std::vector<SendRecord> sends;
  std::function<bool(const SentMessage&)> send_policy;
  std::map<int64_t, TextureRecord> textures;
  int64_t next_texture_id = 1;
  bool mark_frame_result = true;
  bool defer_unregistrations = false;
  std::vector<Completion> pending_unregistrations;
  std::vector<FlutterDesktopPluginRegistrar*> registrars;
  std::vector<std::string> off_thread_sends;
  bool expect_off_thread_sends = false;
};

// A real engine takes messages on its own thread only, and reports any
// other as an error: noted, with one line, and a rule broken unless the
// test expects it.
void CheckSendThread(const FlutterDesktopMessenger& messenger,
                     const char* channel);

// Logs a send. One without a reply is accepted while the engine is
// available; one with a reply also as the send policy says.
bool RecordSend(EngineCore& core, const char* channel, const uint8_t* message,
                size_t message_size, FlutterDesktopBinaryReply reply,
                void* user_data);

}  // namespace standin

// ==== The engine's handle types ====

struct FlutterDesktopMessenger {
  struct Callback {
    FlutterDesktopMessageCallback function;
    void* user_data;
  };

  explicit FlutterDesktopMessenger(std::shared_ptr<standin::EngineCore> owner)
      : core(std::move(owner)), engine_thread(std::this_thread::get_id()) {
    ++core->live_messengers;
  }
  ~FlutterDesktopMessenger() { --core->live_messengers; }

  void Unref() {
    if (--refs == 0) delete this;
  }

  std::shared_ptr<standin::EngineCore> core;
  const std::thread::id engine_thread;        // where its registrar was made
  std::atomic<int64_t> refs{1};               // the registrar's own reference
  std::map<std::string, Callback> callbacks;  // guarded by core->state
};

struct FlutterDesktopTextureRegistrar {
  std::shared_ptr<standin::EngineCore> core;
};

struct FlutterDesktopView {
  int unused = 0;
};

struct FlutterDesktopPluginRegistrar {
  FlutterDesktopMessenger* messenger = nullptr;
  FlutterDesktopTextureRegistrar* textures = nullptr;
  FlutterDesktopView* view = nullptr;
  // Each distinct callback given, in order: every library that shares a
  // registrar hears of its destruction.
  std::vector<FlutterDesktopOnPluginRegistrarDestroyed> on_destroyed;
};

#endif  // STANDIN_ENGINE_CORE_H_
