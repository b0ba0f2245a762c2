#include "flutter/plugin_registrar_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin_engine.h"

namespace {

using flutter::PluginRegistrarManager;
using flutter::PluginRegistrarWindows;

PluginRegistrarManager& Manager() {
  return *PluginRegistrarManager::GetInstance();
}

// Notes its destruction, and what of its registrar still stood then.
class ProbePlugin : public flutter::Plugin {
 public:
  ProbePlugin(std::vector<std::string>* log, PluginRegistrarWindows* registrar)
      : log_(log), registrar_(registrar) {}
  ~ProbePlugin() override {
    log_->push_back(std::string("plugin, view ") +
                    (registrar_->GetView() ? "alive" : "gone"));
  }

 private:
  std::vector<std::string>* log_;
  PluginRegistrarWindows* registrar_;
};

TEST(PluginRegistrarManager, OneWrapperPerHandleUntilTheEngineDestroysIt) {
  standin::Engine engine;
  auto handle = engine.CreateRegistrar();
  const size_t before = Manager().registrar_count();
  PluginRegistrarWindows* first = Manager().GetOrCreateRegistrar(handle);
  std::vector<std::string> log;
  first->AdoptPlugin(std::make_unique<ProbePlugin>(&log, first));
  EXPECT_EQ(Manager().GetOrCreateRegistrar(handle), first);
  EXPECT_EQ(Manager().registrar_count(), before + 1);
  EXPECT_TRUE(log.empty());  // the discarded candidate had no plugins

  auto other_handle = engine.CreateRegistrar(/*with_view=*/false);
  PluginRegistrarWindows* other = Manager().GetOrCreateRegistrar(other_handle);
  EXPECT_NE(other, first);
  EXPECT_NE(other->GetMessenger(), first->GetMessenger());
  EXPECT_EQ(other->GetView(), nullptr);
  EXPECT_NE(first->GetView(), nullptr);

  engine.DestroyRegistrar(handle);
  EXPECT_EQ(log, std::vector<std::string>{"plugin, view alive"});
  EXPECT_EQ(Manager().registrar_count(), before + 1);
  engine.DestroyRegistrar(other_handle);
  EXPECT_EQ(Manager().registrar_count(), before);
}

TEST(PluginRegistrarManager, HandleReusedAfterDestructionGetsANewWrapper) {
  standin::Engine engine;
  auto handle = engine.CreateRegistrar();
  PluginRegistrarWindows* first = Manager().GetOrCreateRegistrar(handle);
  std::vector<std::string> log;
  first->AdoptPlugin(std::make_unique<ProbePlugin>(&log, first));
  // The engine reports the handle destroyed; the same value asks again.
  engine.DestroyRegistrar(handle);
  EXPECT_EQ(log.size(), 1u);
  auto again = engine.CreateRegistrar();
  PluginRegistrarWindows* second = Manager().GetOrCreateRegistrar(again);
  second->AdoptPlugin(std::make_unique<ProbePlugin>(&log, second));
  engine.DestroyRegistrar(again);
  EXPECT_EQ(log.size(), 2u);
}

TEST(PluginRegistrar, DestroysPluginsThenViewThenMessengerThenTextures) {
  standin::Engine engine;
  auto handle = engine.CreateRegistrar();
  PluginRegistrarWindows* registrar = Manager().GetOrCreateRegistrar(handle);
  std::vector<std::string> log;
  for (int i = 0; i < 3; ++i) {
    registrar->AdoptPlugin(std::make_unique<ProbePlugin>(&log, registrar));
  }
  // A channel handler goes with the messenger; it sees the texture registrar
  // still standing.
  struct HandlerProbe {
    std::vector<std::string>* log;
    flutter::PluginRegistrar* registrar;
    std::shared_ptr<int> token;
    ~HandlerProbe() {
      if (token.use_count() == 1) {
        log->push_back(std::string("messenger, textures ") +
                       (registrar->GetTextureRegistrar() ? "alive" : "gone"));
      }
    }
    void operator()(const uint8_t*, size_t, flutter::BinaryReply) const {}
  };
  registrar->GetMessenger()->SetChannelHandler(
      "probe", HandlerProbe{&log, registrar, std::make_shared<int>(0)});

  engine.DestroyRegistrar(handle);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "plugin, view alive", "plugin, view alive",
                     "plugin, view alive", "messenger, textures alive"}));
}

// A plugin that, like one removing its own channel handler, still uses its
// registrar's messenger and texture registrar while it goes.
class TidyPlugin : public flutter::Plugin {
 public:
  TidyPlugin(std::vector<std::string>* log, flutter::PluginRegistrar* registrar)
      : log_(log), registrar_(registrar) {}
  ~TidyPlugin() override {
    flutter::BinaryMessenger* messenger = registrar_->GetMessenger();
    log_->push_back(std::string("plugin, messenger ") +
                    (messenger ? "alive" : "gone") + ", textures " +
                    (registrar_->GetTextureRegistrar() ? "alive" : "gone"));
    if (messenger) messenger->SetChannelHandler("tidy", nullptr);
  }

 private:
  std::vector<std::string>* log_;
  flutter::PluginRegistrar* registrar_;
};

// Pins a fault: a bare registrar (no Windows part to destroy its plugins
// first) destroyed its messenger before its plugins.
TEST(PluginRegistrar, BareRegistrarDestroysPluginsWhileItsWrappersStand) {
  standin::Engine engine;
  auto handle = engine.CreateRegistrar(/*with_view=*/false);
  auto registrar = std::make_unique<flutter::PluginRegistrar>(handle);
  std::vector<std::string> log;
  registrar->GetMessenger()->SetChannelHandler(
      "tidy", [](const uint8_t*, size_t, flutter::BinaryReply) {});
  for (int i = 0; i < 2; ++i) {
    registrar->AdoptPlugin(std::make_unique<TidyPlugin>(&log, registrar.get()));
  }
  EXPECT_TRUE(log.empty());

  registrar.reset();
  EXPECT_EQ(log, (std::vector<std::string>{
                     "plugin, messenger alive, textures alive",
                     "plugin, messenger alive, textures alive"}));
  // The plugin's removal reached the engine.
  EXPECT_FALSE(engine.HasHandler(handle, "tidy"));
  engine.DestroyRegistrar(handle);
}

}  // namespace
