// A stand-in for the Flutter engine: an in-process implementation of the
// engine's C interface, with a C++ control surface for tests and the host.
//
//   standin::Engine engine;
//   auto registrar = engine.CreateRegistrar();
//   KelmorPluginCApiRegisterWithRegistrar(registrar);
//   auto ticket = engine.Deliver(registrar, "kelmor", call_bytes);
//   standin::Response answer = engine.GetResponse(ticket);
//
// It honours what the library relies on: callbacks for a registrar stop after
// its destruction handler ran; each accepted send's reply and each
// unregistration's completion runs exactly once (the destructor completes the
// outstanding ones); availability seen under the messenger lock holds for the
// response that follows. Replies may come from any thread. It also keeps
// the rules a real engine enforces: messages are sent to it on the thread
// that made their registrar (any other is noted, written as one line and
// reported to the rule-break handler unless expected); a registrar calls
// every distinct destruction callback given to it; a message for a
// registrar already destroyed finds no handler.
#ifndef STANDIN_STANDIN_ENGINE_H_
#define STANDIN_STANDIN_ENGINE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flutter_desktop_api.h"

namespace standin {

struct EngineCore;

// What became of a delivered message.
struct Response {
  bool delivered = false;  // a handler was installed for the channel
  int times_sent = 0;      // FlutterDesktopMessengerSendResponse calls
  bool sent_while_unavailable = false;
  bool had_bytes = false;  // the last response carried a non-null pointer
  std::vector<uint8_t> bytes;
};

// A message the library sent through the engine.
struct SentMessage {
  std::string channel;
  std::vector<uint8_t> message;
  bool wants_reply = false;
  bool accepted = false;
  bool answered = false;
};

// A texture as the engine holds it: from its registration until its
// unregistration completes.
struct TextureRecord {
  int64_t id = 0;
  std::vector<uint8_t> descriptor;  // the 40 bytes the engine was given
  FlutterDesktopTextureInfo info{};
  int frames_marked = 0;
  int frames_requested = 0;
  // Unregistered, with its completion deferred and not yet run: its frames
  // may still be requested, but it may no longer be marked.
  bool unregistering = false;
};

struct Counters {
  int64_t add_refs = 0;
  int64_t releases = 0;
  int64_t live_messengers = 0;
  int64_t lock_calls = 0;
  int64_t unlock_calls = 0;
};

using MessageTicket = size_t;

// Called, on the thread that broke it, with the line for each rule of a
// real engine that a library broke and the test did not expect; none by
// default. The plugin test kit makes it fail the running test.
void SetRuleBreakHandler(std::function<void(const std::string&)> handler);

class Engine {
 public:
  Engine();
  // Stops availability, destroys the registrars still alive (running their
  // destruction handlers), answers outstanding sends with no bytes and
  // completes outstanding unregistrations.
  ~Engine();

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ==== Registrars ====
  FlutterDesktopPluginRegistrarRef CreateRegistrar(bool with_view = true);
  // Runs the registrar's destruction handler, then stops every callback.
  void DestroyRegistrar(FlutterDesktopPluginRegistrarRef registrar);
  FlutterDesktopMessengerRef MessengerOf(
      FlutterDesktopPluginRegistrarRef registrar) const;
  FlutterDesktopTextureRegistrarRef TextureRegistrarOf(
      FlutterDesktopPluginRegistrarRef registrar) const;

  // Channels of the messages sent to the engine from a thread other than
  // the one that made their registrar, in order.
  std::vector<std::string> OffThreadSends() const;
  // Whether such sends are what the test means to see: they are still
  // noted and written, but not reported as a broken rule.
  void ExpectOffThreadSends(bool expected = true);

  // ==== Incoming messages ====
  bool HasHandler(FlutterDesktopPluginRegistrarRef registrar,
                  const std::string& channel) const;
  // The user data registered with the channel's callback; null when none.
  const void* HandlerUserData(FlutterDesktopPluginRegistrarRef registrar,
                              const std::string& channel) const;
  // Calls the channel's message callback on this thread. Without a response
  // handle the message carries null as its handle.
  MessageTicket Deliver(FlutterDesktopPluginRegistrarRef registrar,
                        const std::string& channel,
                        const std::vector<uint8_t>& message,
                        bool with_response_handle = true);
  // Like Deliver, with a null message pointer and size 0.
  MessageTicket DeliverEmpty(FlutterDesktopPluginRegistrarRef registrar,
                             const std::string& channel);
  Response GetResponse(MessageTicket ticket) const;
  // Tickets handed out so far; they run from 0.
  size_t MessageCount() const;
  // Drops a message's record, which must not be answered any more; keeps a
  // long run's memory flat.
  void Forget(MessageTicket ticket);

  // ==== Availability and the messenger lock ====
  // Takes the messenger lock, so it waits for a response in progress.
  void SetAvailable(bool available);
  bool available() const;
  Counters counters() const;

  // ==== Outgoing messages ====
  // Decides, per send with reply, whether the engine accepts it.
  void SetSendPolicy(std::function<bool(const SentMessage&)> accept);
  // Every send so far, in order; send `i` is answered as index `i`.
  std::vector<SentMessage> Sends() const;
  // The sends from index `first` on, copying none before it, so that a
  // caller that keeps up with a long run copies each send once.
  std::vector<SentMessage> SendsSince(size_t first) const;
  // Answers accepted send `index` once, on the calling thread. False when it
  // was refused or already answered.
  bool AnswerSend(size_t index, const std::vector<uint8_t>& reply);
  bool AnswerSendEmpty(size_t index);
  size_t PendingSends() const;

  // ==== Textures ====
  // A frame request calls the texture's frame callback on the calling
  // thread, as a real engine does on a thread of its choosing, and gives
  // what the plugin returned: a test can check the record's buffer, width
  // and height, which the plugin must keep valid until its next frame of
  // that texture. The stand-in copies no pixels and calls no release
  // callback; a test that wants it called calls it. Frames can be requested
  // while the texture is registered and, with unregistrations deferred,
  // after its unregistration started until CompleteUnregistrations, as a
  // real engine may: so a plugin must keep what its callback uses alive
  // until the completion runs. Each request counts in frames_requested.
  std::vector<TextureRecord> Textures() const;
  // Null when the id is unknown or the texture is not a pixel buffer one.
  const FlutterDesktopPixelBuffer* RequestPixelBuffer(int64_t texture_id,
                                                      size_t width,
                                                      size_t height);
  // Null when the id is unknown or the texture is not a GPU surface one.
  const FlutterDesktopGpuSurfaceDescriptor* RequestGpuSurface(
      int64_t texture_id, size_t width, size_t height);
  // Either kind's record, untyped; null when the id is unknown.
  const void* RequestFrame(int64_t texture_id, size_t width, size_t height);
  // When deferred, an unregistration with a completion callback leaves its
  // texture unregistering until CompleteUnregistrations, which forgets the
  // texture and then runs the callback. Without a callback, or not
  // deferred, the texture is forgotten at once.
  void SetDeferUnregistrations(bool defer);
  size_t CompleteUnregistrations();
  size_t PendingUnregistrations() const;
  void SetNextTextureId(int64_t id);
  void SetMarkFrameResult(bool result);

 private:
  std::shared_ptr<EngineCore> core_;
};

}  // namespace standin

#endif  // STANDIN_STANDIN_ENGINE_H_
