// End to end: the real plugin library, loaded at run time, registered with
// the stand-in engine and driven through its "kelmor" channel.
#include <gtest/gtest.h>

#include <cstdlib>

#include "flutter/standard_method_codec.h"
#include "plugin_library.h"
#include "standin_engine.h"
#include "test_bytes.h"
#ifndef _WIN32
#include "windows_version.h"
#endif

namespace {

using flutter::EncodableValue;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::ToHex;

using kelmor_host::RegisterFunction;

// The plugin library beside this program, loaded once.
RegisterFunction LoadRegister() {
  static RegisterFunction function = [] {
    std::string error;
    static auto library = kelmor_host::PluginLibrary::Open(
        kelmor_host::DefaultPluginPath(), &error);
    EXPECT_NE(library, nullptr) << error;
    return library ? library->FindRegisterFunction(
                         "KelmorPluginCApiRegisterWithRegistrar", &error)
                   : nullptr;
  }();
  return function;
}

Bytes CallBytes(const std::string& method,
                std::unique_ptr<EncodableValue> arguments = nullptr) {
  flutter::MethodCall<> call(method, std::move(arguments));
  return *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

class KelmorPluginTest : public testing::Test {
 protected:
  void SetUp() override {
    register_ = LoadRegister();
    ASSERT_NE(register_, nullptr);
    registrar_ = engine_.CreateRegistrar();
    register_(registrar_);
  }
#ifndef _WIN32
  void TearDown() override { standin::SetWindowsVersion({}); }
#endif

  standin::Response Call(const Bytes& message) {
    return engine_.GetResponse(engine_.Deliver(registrar_, "kelmor", message));
  }

  RegisterFunction register_ = nullptr;
  standin::Engine engine_;
  FlutterDesktopPluginRegistrarRef registrar_ = nullptr;
};

#ifdef _WIN32
// Under Windows (or Wine) the system answers; the test runner says what to
// expect for the version it set up.
TEST_F(KelmorPluginTest, ReportsTheRunningWindowsVersion) {
  const char* expected = std::getenv("KELMOR_EXPECTED_PLATFORM_VERSION");
  if (expected == nullptr) GTEST_SKIP() << "no expected version given";
  flutter::EncodableValue answer{std::string(expected)};
  const auto envelope =
      flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
          &answer);
  EXPECT_EQ(ToHex(Call(CallBytes("getPlatformVersion")).bytes),
            ToHex(*envelope));
}

#else
TEST_F(KelmorPluginTest, AnswersTheWindowsVersionByteForByte) {
  const struct {
    standin::WindowsVersion version;
    std::string hex;  // the success envelope
  } cases[] = {
      {{10, 0, 0}, "00 07 0B 57 69 6E 64 6F 77 73 20 31 30 2B"},  // 10+
      {{6, 3, 0}, "00 07 09 57 69 6E 64 6F 77 73 20 38"},         // 8
      {{6, 2, 0}, "00 07 09 57 69 6E 64 6F 77 73 20 38"},         // 8
      {{6, 1, 0}, "00 07 09 57 69 6E 64 6F 77 73 20 37"},         // 7
      {{6, 0, 2}, "00 07 08 57 69 6E 64 6F 77 73 20"},            // bare
      {{11, 0, 0}, "00 07 0B 57 69 6E 64 6F 77 73 20 31 30 2B"},
      {{5, 9, 9}, "00 07 08 57 69 6E 64 6F 77 73 20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.version.major << "." << c.version.minor);
    standin::SetWindowsVersion(c.version);
    const standin::Response response = Call(CallBytes("getPlatformVersion"));
    EXPECT_EQ(response.times_sent, 1);
    EXPECT_EQ(ToHex(response.bytes), ToHex(Hex(c.hex)));
  }
}

#endif

TEST_F(KelmorPluginTest, ArgumentsAreIgnored) {
  const Bytes expected = Call(CallBytes("getPlatformVersion")).bytes;
  auto map = std::make_unique<EncodableValue>(
      flutter::EncodableMap{{"a", flutter::EncodableList{1, 2}}});
  EXPECT_EQ(Call(CallBytes("getPlatformVersion", std::move(map))).bytes,
            expected);
  auto list = std::make_unique<EncodableValue>(flutter::EncodableList{true});
  EXPECT_EQ(Call(CallBytes("getPlatformVersion", std::move(list))).bytes,
            expected);
}

TEST_F(KelmorPluginTest, NearMissNamesAreNotImplemented) {
  for (const char* name : {"GetPlatformVersion", "getplatformversion",
                           "getPlatformVersion ", "getPlatform", ""}) {
    SCOPED_TRACE(name);
    const standin::Response response = Call(CallBytes(name));
    EXPECT_EQ(response.times_sent, 1);
    EXPECT_FALSE(response.had_bytes);
  }
}

TEST_F(KelmorPluginTest, UndecodableCallGetsAnEmptyReply) {
  testing::internal::CaptureStderr();
  const standin::Response response = Call(Hex("FF"));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_FALSE(response.had_bytes);
}

TEST_F(KelmorPluginTest, SecondRegistrationReplacesTheHandler) {
  const void* first_handler = engine_.HandlerUserData(registrar_, "kelmor");
  register_(registrar_);
  EXPECT_EQ(engine_.HandlerUserData(registrar_, "kelmor"), first_handler);
  EXPECT_EQ(Call(CallBytes("getPlatformVersion")).times_sent, 1);
}

TEST_F(KelmorPluginTest, TwoEnginesGetIndependentPlugins) {
  standin::Engine other_engine;
  auto other = other_engine.CreateRegistrar();
  register_(other);
  engine_.DestroyRegistrar(registrar_);
  const auto ticket =
      other_engine.Deliver(other, "kelmor", CallBytes("getPlatformVersion"));
  EXPECT_EQ(other_engine.GetResponse(ticket).times_sent, 1);
  registrar_ = engine_.CreateRegistrar();  // a fresh one has no plugin
  EXPECT_FALSE(engine_.HasHandler(registrar_, "kelmor"));
}

TEST_F(KelmorPluginTest, EveryReferenceIsReleased) {
  for (int i = 0; i < 10; ++i) Call(CallBytes("getPlatformVersion"));
  const standin::Counters counters = engine_.counters();
  EXPECT_EQ(counters.add_refs, 10);
  EXPECT_EQ(counters.releases, 10);
}

}  // namespace
