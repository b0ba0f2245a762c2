// BinaryMessenger: sends message bytes on named channels and installs the
// handlers that receive them.
#ifndef FLUTTER_BINARY_MESSENGER_H_
#define FLUTTER_BINARY_MESSENGER_H_

#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Receives the answer to a message: bytes and their count, or null and 0 for
// no bytes. Replying to an incoming message is one-shot.
using BinaryReply =
    std::function<void(const uint8_t* reply, size_t reply_size)>;

// Receives an incoming message and its own reply, which it may keep and call
// later, on any thread.
using BinaryMessageHandler = std::function<void(
    const uint8_t* message, size_t message_size, BinaryReply reply)>;

class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;

  // Sends `message` on `channel`; an empty `reply` means no answer is wanted.
  // A reply is called at most once, on whichever thread the engine answers.
  // May be called from any thread: the registrar's messenger carries a send
  // from another thread over to the engine's (see BinaryMessengerImpl).
  virtual void SendToChannel(const std::string& channel, const uint8_t* message,
                             size_t message_size, BinaryReply reply) const = 0;

  // Installs `handler` for `channel`, replacing any earlier one; an empty
  // handler removes it. On the engine's thread only.
  virtual void SetChannelHandler(const std::string& channel,
                                 BinaryMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // FLUTTER_BINARY_MESSENGER_H_
