#include "plugin_waits.h"

#include <sstream>

#include "message_loop.h"

namespace standin {

AnswerWait WaitForAnswer(
    Engine& engine, MessageTicket ticket, std::chrono::milliseconds timeout,
    const flutter::MethodCodec<flutter::EncodableValue>* codec) {
  MethodAnswer answer;
  const bool came = RunMessagesUntil(
      [&] {
        answer = AnswerOf(engine, ticket, codec);
        return answer.kind != MethodAnswer::Kind::kNoAnswerYet;
      },
      timeout);
  AnswerWait waited;
  if (came) {
    waited.answer = answer;
  } else {
    std::ostringstream line;
    line << "Waited " << timeout.count() << " ms for the answer to call "
         << ticket << "; none came, and the plugin made "
         << engine.Sends().size() << " sends meanwhile";
    waited.failure = line.str();
  }
  return waited;
}

SendsWait WaitForSends(Engine& engine, size_t count,
                       std::chrono::milliseconds timeout) {
  SendsWait waited;
  waited.reached = RunMessagesUntil(
      [&] {
        const std::vector<SentMessage> later =
            engine.SendsSince(waited.sends.size());
        waited.sends.insert(waited.sends.end(), later.begin(), later.end());
        return waited.sends.size() >= count;
      },
      timeout);
  if (!waited.reached) {
    std::ostringstream line;
    line << "Waited " << timeout.count() << " ms for " << count << " sends; "
         << waited.sends.size() << " came";
    const char* separator = ": on ";
    for (const SentMessage& sent : waited.sends) {
      line << separator << '"' << sent.channel << "\" (" << sent.message.size()
           << " bytes)";
      separator = ", on ";
    }
    waited.failure = line.str();
  }
  return waited;
}

}  // namespace standin
