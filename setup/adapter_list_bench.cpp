// enumerateAdapters over a list key with many subkeys, 100 of them served
// adapters spread evenly among the others: the time per subkey must not grow
// with the number of subkeys.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "adapter_list.h"
#include "sim/machine.h"

namespace {

std::unique_ptr<sim::Machine> machineWith(int subkeys) {
  auto machine = std::make_unique<sim::Machine>();
  machine->platformId = VER_PLATFORM_WIN32_WINDOWS;
  const std::string net = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Net\\";
  const int spacing = subkeys / 100;
  for (int i = 0; i < subkeys; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d", i);
    const bool served = (i + 1) % spacing == 0;  // the last served one is the last subkey
    machine->registry.setString(net + name, "DeviceVxDs", served ? "e100b.sys" : "pppmac.vxd");
    machine->registry.setString(net + name, "DriverDesc", served ? "E100B PCI Adapter" : "Dial-Up Adapter");
  }
  return machine;
}

void BM_EnumerateAdapters(benchmark::State& state) {
  const int subkeys = static_cast<int>(state.range(0));
  auto machine = machineWith(subkeys);
  auto list = std::make_unique<nicmark::AdapterList>();
  list->platformCode = nicmark::platformWindows95;
  list->profile = nicmark::windows95Profile;
  for (auto _ : state) {
    // The simulator logs every call; start afresh before the log grows large.
    if (machine->registry.calls().size() > 1'000'000) {
      state.PauseTiming();
      machine = machineWith(subkeys);
      state.ResumeTiming();
    }
    const int count = nicmark::enumerateAdapters(machine->registry, *list);
    if (count != 100) state.SkipWithError("expected 100 adapters");
    benchmark::DoNotOptimize(list->adapterTable.data());
  }
  state.SetItemsProcessed(state.iterations() * subkeys);
  state.counters["per_subkey"] = benchmark::Counter(
      static_cast<double>(subkeys), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EnumerateAdapters)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
