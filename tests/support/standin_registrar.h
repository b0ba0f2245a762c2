// A stand-in engine with one registrar wrapped as a plugin sees it, for
// tests of what runs through the registrar: its task runner and the
// messenger that carries sends over to the engine's thread.
#ifndef TESTS_SUPPORT_STANDIN_REGISTRAR_H_
#define TESTS_SUPPORT_STANDIN_REGISTRAR_H_

#include <chrono>
#include <memory>

#include "flutter/plugin_registrar_windows.h"
#include "flutter/task_runner.h"
#include "standin_engine.h"

namespace kelmor_test {

// How long a test waits for work from other threads.
constexpr auto kPatience = std::chrono::seconds(10);

struct StandinRegistrar {
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef handle = engine.CreateRegistrar();
  std::unique_ptr<flutter::PluginRegistrarWindows> registrar =
      std::make_unique<flutter::PluginRegistrarWindows>(handle);
  std::shared_ptr<flutter::TaskRunner> runner = registrar->GetTaskRunner();
};

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_STANDIN_REGISTRAR_H_
