// A stand-in engine with one registrar, and a messenger over it.
#ifndef TESTS_SUPPORT_STANDIN_FIXTURE_H_
#define TESTS_SUPPORT_STANDIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>

#include "flutter/binary_messenger_impl.h"
#include "standin_engine.h"

namespace kelmor_test {

class StandinTest : public testing::Test {
 protected:
  StandinTest()
      : engine_(std::make_unique<standin::Engine>()),
        registrar_(engine_->CreateRegistrar()),
        messenger_(std::make_unique<flutter::BinaryMessengerImpl>(
            engine_->MessengerOf(registrar_))) {}

  ~StandinTest() override {
    messenger_.reset();
    engine_.reset();
  }

  // Every reference the library took on the engine messenger was dropped.
  void ExpectReferencesBalanced() {
    const standin::Counters counters = engine_->counters();
    EXPECT_EQ(counters.add_refs, counters.releases);
    EXPECT_EQ(counters.lock_calls, counters.unlock_calls);
  }

  std::unique_ptr<standin::Engine> engine_;
  FlutterDesktopPluginRegistrarRef registrar_;
  std::unique_ptr<flutter::BinaryMessengerImpl> messenger_;
};

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_STANDIN_FIXTURE_H_
