#include "engine_core.h"

#include <iostream>

namespace standin {

namespace {

std::mutex rule_break_mutex;
std::function<void(const std::string&)>& RuleBreakHandler() {
  static auto* handler = new std::function<void(const std::string&)>();
  return *handler;
}

}  // namespace

void SetRuleBreakHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard<std::mutex> lock(rule_break_mutex);
  RuleBreakHandler() = std::move(handler);
}

void CheckSendThread(const FlutterDesktopMessenger& messenger,
                     const char* channel) {
  if (std::this_thread::get_id() == messenger.engine_thread) return;
  const std::string line =
      std::string("The engine was sent a message on channel \"") + channel +
      "\" from a thread other than its own, which may result in data loss "
      "or crashes";
  bool expected;
  {
    std::lock_guard<std::mutex> lock(messenger.core->state);
    messenger.core->off_thread_sends.push_back(channel);
    expected = messenger.core->expect_off_thread_sends;
  }
  std::cerr << line << std::endl;
  if (expected) return;
  std::lock_guard<std::mutex> lock(rule_break_mutex);
  if (RuleBreakHandler()) RuleBreakHandler()(line);
}

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
