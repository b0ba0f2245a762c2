// Runs one operation of the benchmarks a given number of times inside
// Measured(), for counting its instructions under callgrind, which are free
// of the shared machine's noise:
//
//   valgrind --tool=callgrind --toggle-collect='kelmor_bench::Measured*'
//            kelmor_instruction_counts decode 10
//
// bench/instructions runs every operation so and prints a table;
// `kelmor_instruction_counts list` names them.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "bench_support.h"
#include "flutter/standard_method_codec.h"
#include "kelmor/kelmor_plugin_c_api.h"
#include "mixed_tree.h"
#include "standin_engine.h"

namespace kelmor_bench {

// Kept out of line so that callgrind can count what runs inside it.
__attribute__((noinline)) void Measured(const std::function<void()>& op,
                                        int times) {
  for (int i = 0; i < times; ++i) op();
}

}  // namespace kelmor_bench

int main(int argc, char** argv) {
  using flutter::EncodableValue;
  using flutter::StandardMethodCodec;
  using namespace kelmor_bench;
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) argc = 3;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OPERATION TIMES\n", argv[0]);
    return 2;
  }
  const EncodableValue tree = OurTree();
  const std::vector<uint8_t> bytes = Encode(tree);
  const Events parsed = ParseMessage(bytes);
  const auto& codec = StandardMethodCodec::GetInstance();
  const std::vector<uint8_t> call = *codec.EncodeMethodCall(
      flutter::MethodCall<>("getPlatformVersion", nullptr));
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  KelmorPluginCApiRegisterWithRegistrar(registrar);

  const std::map<std::string, std::function<void()>> operations = {
      {"decode",
       [&] {
         EncodableValue decoded = Decode(bytes);
         benchmark::DoNotOptimize(&decoded);
       }},
      {"build_floor",
       [&] {
         EncodableValue built;
         const Event* next = parsed.events.data();
         Build(next, built);
         benchmark::DoNotOptimize(&built);
       }},
      {"copy",
       [&] {
         EncodableValue copy = tree;
         benchmark::DoNotOptimize(&copy);
       }},
      {"encode", [&] { benchmark::DoNotOptimize(Encode(tree).data()); }},
      {"encode_envelope",
       [&] { benchmark::DoNotOptimize(EncodeMessage(tree)->data()); }},
      {"walk", [&] { benchmark::DoNotOptimize(Walk(tree)); }},
      {"codec_work",
       [&] {
         benchmark::DoNotOptimize(PlatformVersionCodecWork(codec, call));
       }},
      {"round_trip",
       [&] { engine.Forget(engine.Deliver(registrar, "kelmor", call)); }},
  };
  const auto found = operations.find(argv[1]);
  if (found == operations.end()) {
    for (const auto& [name, op] : operations) std::printf("%s\n", name.c_str());
    return std::strcmp(argv[1], "list") == 0 ? 0 : 2;
  }
  found->second();  // warm-up, outside the count
  Measured(found->second, std::atoi(argv[2]));
  engine.DestroyRegistrar(registrar);
  return 0;
}
