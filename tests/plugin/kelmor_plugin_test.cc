// End to end: the real plugin library, loaded at run time, registered with
// the stand-in engine and driven through its "kelmor" channel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "flutter/standard_method_codec.h"
#include "plugin_library.h"
#include "plugin_test_rules.h"
#include "standin_engine.h"
#include "test_bytes.h"
#ifndef _WIN32
#include "windows_message_api.h"
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

// Before, a message whose nested lists each declared every byte after them
// held hundreds of MiB for most of a minute before it was answered.
TEST_F(KelmorPluginTest, NestedOverDeclaredArgumentsAreAnsweredOnce) {
  Bytes message = CallBytes("getPlatformVersion");
  message.pop_back();  // the null arguments
  const size_t total = 64 * 1024;
  for (int level = 0; level < 63; ++level) {
    message.push_back(level % 2 ? 0x0D : 0x0C);
    message.push_back(0xFF);
    const auto left = static_cast<uint32_t>(total - message.size() - 4);
    for (int shift = 0; shift < 32; shift += 8) {
      message.push_back(static_cast<uint8_t>(left >> shift));
    }
  }
  message.resize(total, 0x00);
  kelmor_test::StderrCapture capture;
  const standin::Response response = Call(message);
  EXPECT_LT(capture.Lines().size(), 1000u);
  EXPECT_EQ(response.times_sent, 1);
  EXPECT_EQ(response.bytes, Call(CallBytes("getPlatformVersion")).bytes);
}

TEST_F(KelmorPluginTest, SecondRegistrationIsIgnoredWithOneLine) {
  const void* first_handler = engine_.HandlerUserData(registrar_, "kelmor");
  kelmor_test::StderrCapture capture;
  register_(registrar_);
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{
                "Warning: The kelmor plugin is already registered with this "
                "registrar. Ignoring duplicate registration."});
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

#ifndef _WIN32
// ==== Heap blocks made while a test watches ====
// The plugin keeps no state that a call could show, so whether its registrar
// owns it shows only in the heap. Off Windows the loaded library shares this
// program's C++ runtime, so the replacements of operator new and delete
// below serve the library's allocations too. Aligned forms are left to the
// runtime: they pair only with each other.

namespace {

struct HeapLog {
  static constexpr size_t kCapacity = 1024;
  struct Block {
    const void* address;
    bool freed;
  };
  Block blocks[kCapacity];
  size_t count;
  bool overflowed;
  // Only the watching test's thread allocates while these are set.
  std::atomic<bool> noting_new;
  std::atomic<bool> watching;
};
HeapLog heap_log;

void* Allocate(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  if (heap_log.noting_new.load(std::memory_order_relaxed)) {
    if (heap_log.count < HeapLog::kCapacity) {
      heap_log.blocks[heap_log.count++] = {block, false};
    } else {
      heap_log.overflowed = true;
    }
  }
  return block;
}

void* AllocateOrNull(size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void Free(void* block) noexcept {
  if (block != nullptr && heap_log.watching.load(std::memory_order_relaxed)) {
    for (size_t i = 0; i < heap_log.count; ++i) {
      if (heap_log.blocks[i].address == block && !heap_log.blocks[i].freed) {
        heap_log.blocks[i].freed = true;
        break;
      }
    }
  }
  std::free(block);
}

// Notes the blocks made from its construction until StopNoting, and which of
// them are freed while it lives. One at a time.
class HeapWatch {
 public:
  HeapWatch() {
    heap_log.count = 0;
    heap_log.overflowed = false;
    heap_log.watching = true;
    heap_log.noting_new = true;
  }
  ~HeapWatch() {
    heap_log.noting_new = false;
    heap_log.watching = false;
  }
  HeapWatch(const HeapWatch&) = delete;
  HeapWatch& operator=(const HeapWatch&) = delete;

  void StopNoting() { heap_log.noting_new = false; }
  size_t made() const { return heap_log.count; }
  size_t freed() const {
    size_t freed = 0;
    for (size_t i = 0; i < heap_log.count; ++i) {
      if (heap_log.blocks[i].freed) ++freed;
    }
    return freed;
  }
  bool overflowed() const { return heap_log.overflowed; }
};

class KelmorPluginOwnership : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(register_plugin_, nullptr); }

  const RegisterFunction register_plugin_ = LoadRegister();
  standin::Engine engine_;
};

// Pins a fault: a registration that does not hand the plugin to the
// registrar frees it on the way out and leaves the channel's handler calling
// through a dangling pointer, which no reply shows.
TEST_F(KelmorPluginOwnership, RegistrarKeepsWhatRegistrationMakesUntilItGoes) {
  // The library's singletons, made by its first registration, are not part
  // of any one registration.
  const auto first = engine_.CreateRegistrar();
  register_plugin_(first);
  engine_.DestroyRegistrar(first);

  const auto registrar = engine_.CreateRegistrar();
  HeapWatch watch;
  register_plugin_(registrar);
  watch.StopNoting();
  ASSERT_FALSE(watch.overflowed());
  ASSERT_GT(watch.made(), 0u) << "the library's allocations are not seen";
  // The registrar wrapper, its messenger, the channel's handler and the
  // plugin all stay.
  EXPECT_EQ(watch.freed(), 0u) << "registration freed part of what it made";
  engine_.DestroyRegistrar(registrar);
  EXPECT_EQ(watch.freed(), watch.made()) << "some of it outlived the registrar";
}

// Pins a fault: a second registration for one registrar adopted a second
// plugin, which took the channel from the first and left both kept until the
// registrar went, one of them unreachable.
TEST_F(KelmorPluginOwnership, SecondRegistrationKeepsNothing) {
  const auto registrar = engine_.CreateRegistrar();
  register_plugin_(registrar);

  kelmor_test::StderrCapture capture;
  HeapWatch watch;
  register_plugin_(registrar);
  watch.StopNoting();
  ASSERT_FALSE(watch.overflowed());
  EXPECT_EQ(watch.freed(), watch.made())
      << "the second registration kept " << watch.made() - watch.freed()
      << " blocks";
}

}  // namespace

#ifndef _WIN32
namespace {

// The plugin library of the host's tests: a second library with its own
// copy of the machinery and its own registrar manager.
RegisterFunction LoadTestPluginRegister() {
  static RegisterFunction function = [] {
    std::string error;
    static auto library =
        kelmor_host::PluginLibrary::Open(KELMOR_TEST_PLUGIN_PATH, &error);
    EXPECT_NE(library, nullptr) << error;
    return library ? library->FindRegisterFunction(
                         "TestPluginRegisterWithRegistrar", &error)
                   : nullptr;
  }();
  return function;
}

// Each registrar wrapper, in whichever library, keeps one task runner
// window while it lives.
int TaskRunnerWindows() {
  static const WCHAR kClass[] = u"KelmorTaskRunnerWindow";
  int count = 0;
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kClass, nullptr);
       window != nullptr;
       window = FindWindowExW(HWND_MESSAGE, window, kClass, nullptr)) {
    ++count;
  }
  return count;
}

// Two plugin libraries share the application's registrar, as every
// application with two plugins does: both answer, and both are told when
// it goes and tear down with it.
TEST(KelmorPluginLibraries, TwoLibrariesShareARegistrarAndBothGoWithIt) {
  const RegisterFunction register_kelmor = LoadRegister();
  const RegisterFunction register_test = LoadTestPluginRegister();
  ASSERT_NE(register_kelmor, nullptr);
  ASSERT_NE(register_test, nullptr);
  standin::Engine engine;
  const int before = TaskRunnerWindows();
  const auto registrar = engine.CreateRegistrar();
  register_kelmor(registrar);
  register_test(registrar);
  EXPECT_EQ(TaskRunnerWindows(), before + 2);
  const Bytes echo = CallBytes("echo", std::make_unique<EncodableValue>(1));
  EXPECT_EQ(engine.GetResponse(engine.Deliver(registrar, "test", echo)).bytes,
            Hex("00 03 01 00 00 00"));
  EXPECT_EQ(engine
                .GetResponse(engine.Deliver(registrar, "kelmor",
                                            CallBytes("getPlatformVersion")))
                .bytes[0],
            0);
  engine.DestroyRegistrar(registrar);
  EXPECT_EQ(TaskRunnerWindows(), before);
}

}  // namespace
#endif

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size);
}
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, size_t) noexcept { Free(block); }
void operator delete[](void* block, size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Free(block);
}
#endif  // _WIN32
