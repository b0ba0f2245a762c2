// Arbitrary bytes delivered on channel "kelmor" through the stand-in engine
// to the registered plugin: every message is answered exactly once, within
// the linear bounds on heap and diagnostics, and every reference on the
// engine messenger is given back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "kelmor/kelmor_plugin_c_api.h"
#include "standin_engine.h"

namespace {

struct Setup {
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  Setup() { KelmorPluginCApiRegisterWithRegistrar(registrar); }
};

Setup& TheSetup() {
  static Setup* setup = new Setup();
  return *setup;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelmor_fuzz::CountDiagnostics();
  TheSetup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup& setup = TheSetup();
  const std::vector<uint8_t> message(data, data + size);
  // The decoder's two values and the channel's line on an undecodable call.
  const auto ticket = kelmor_fuzz::WithinBounds(size, 3, [&] {
    return setup.engine.Deliver(setup.registrar, "kelmor", message);
  });
  const standin::Response response = setup.engine.GetResponse(ticket);
  setup.engine.Forget(ticket);
  kelmor_fuzz::Require(response.delivered, "the plugin's handler is gone");
  kelmor_fuzz::Require(response.times_sent == 1,
                       "a message was not answered exactly once");
  const standin::Counters counters = setup.engine.counters();
  kelmor_fuzz::Require(counters.add_refs == counters.releases,
                       "a messenger reference was kept");
  return 0;
}
