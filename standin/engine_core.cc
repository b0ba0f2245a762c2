#include "engine_core.h"

namespace standin {

bool RecordSend(EngineCore& core, const char* channel, const uint8_t* message,
                size_t message_size, FlutterDesktopBinaryReply reply,
                void* user_data) {
  std::lock_guard<std::mutex> lock(core.state);
  SendRecord record;
  record.info.channel = channel;
  record.info.message.assign(message, message + message_size);
  record.info.wants_reply = reply != nullptr;
  record.info.accepted =
      core.available && (!record.info.wants_reply || !core.send_policy ||
                         core.send_policy(record.info));
  record.reply = reply;
  record.user_data = user_data;
  const bool accepted = record.info.accepted;
  core.sends.push_back(std::move(record));
  return accepted;
}

}  // namespace standin
