// The rules of a real engine that the stand-in keeps, so that a plugin that
// breaks them fails its tests rather than a user's application.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "standin_engine.h"
#include "test_bytes.h"

namespace {

using kelmor_test::StderrCapture;

std::vector<FlutterDesktopPluginRegistrarRef> destroyed_first;
std::vector<FlutterDesktopPluginRegistrarRef> destroyed_second;
void OnDestroyedFirst(FlutterDesktopPluginRegistrarRef r) {
  destroyed_first.push_back(r);
}
void OnDestroyedSecond(FlutterDesktopPluginRegistrarRef r) {
  destroyed_second.push_back(r);
}

// Two plugin libraries, each with its own registrar manager, share the
// application's registrar: both must hear that it is gone, once.
TEST(StandinEngineRules, EveryDistinctDestructionCallbackRunsOnce) {
  standin::Engine engine;
  auto registrar = engine.CreateRegistrar();
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar,
                                                     OnDestroyedFirst);
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar,
                                                     OnDestroyedSecond);
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrar,
                                                     OnDestroyedFirst);
  engine.DestroyRegistrar(registrar);
  EXPECT_EQ(destroyed_first,
            std::vector<FlutterDesktopPluginRegistrarRef>{registrar});
  EXPECT_EQ(destroyed_second,
            std::vector<FlutterDesktopPluginRegistrarRef>{registrar});
}

TEST(StandinEngineRules, MessageForADestroyedRegistrarFindsNoHandler) {
  standin::Engine engine;
  auto registrar = engine.CreateRegistrar();
  FlutterDesktopMessengerSetCallback(
      engine.MessengerOf(registrar), "gone",
      [](FlutterDesktopMessengerRef, const FlutterDesktopMessage*, void*) {
        ADD_FAILURE() << "delivered after destruction";
      },
      nullptr);
  engine.DestroyRegistrar(registrar);
  EXPECT_FALSE(engine.HasHandler(registrar, "gone"));
  const auto ticket = engine.Deliver(registrar, "gone", {1, 2});
  EXPECT_FALSE(engine.GetResponse(ticket).delivered);
}

TEST(StandinEngineRules, SendFromAnotherThreadIsNotedWrittenAndReported) {
  std::vector<std::string> broken;
  standin::SetRuleBreakHandler(
      [&broken](const std::string& line) { broken.push_back(line); });
  const std::string line =
      "The engine was sent a message on channel \"sensor\" from a thread "
      "other than its own, which may result in data loss or crashes";
  for (const bool expected : {false, true}) {
    SCOPED_TRACE(expected ? "expected" : "unexpected");
    broken.clear();
    standin::Engine engine;
    engine.ExpectOffThreadSends(expected);
    auto messenger = engine.MessengerOf(engine.CreateRegistrar());
    const uint8_t byte = 1;
    FlutterDesktopMessengerSend(messenger, "on-thread", &byte, 1);
    StderrCapture capture;
    std::thread([&] {
      FlutterDesktopMessengerSend(messenger, "sensor", &byte, 1);
    }).join();
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{line});
    EXPECT_EQ(engine.OffThreadSends(), std::vector<std::string>{"sensor"});
    EXPECT_EQ(broken, expected ? std::vector<std::string>{}
                               : std::vector<std::string>{line});
  }
  standin::SetRuleBreakHandler(nullptr);
}

}  // namespace
