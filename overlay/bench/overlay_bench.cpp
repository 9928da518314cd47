// The driver's copies of surface memory, the clear of a new surface and the
// screen scan, each beside the plain memory operation of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "overlay/color_key.h"
#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/driver_table.h"
#include "overlay/surfaces.h"
#include "sim/direct_draw_sim.h"
#include "sim/display_sim.h"
#include "sim/global_memory_sim.h"

namespace {

using namespace ovlport;

constexpr LONG width = 750;
constexpr LONG height = 600;

// An open 750 x 600 overlay on the simulated notebook, locked for access.
struct Notebook {
  Notebook() : directDraw(4u << 20, {640, 480, 16, true}) {
    driverPlatform = {&controller, &screen, &directDraw, &memory};
    testing::reloadDriver();
    VpmDriverTable* table = nullptr;
    vpmDriverProc(vpmInterfaceId, vpmInterfaceVersion, &table);
    OverlayDescriptor d;
    std::memset(&d, 0, sizeof d);
    d.caps.formats = d.caps.format = formatYuy2;
    d.caps.capFlags = capHostGeometry;
    OverlayWindow& w = d.window;
    w.frameWidth = 1000;
    w.frameHeight = 600;
    w.captureRect = w.imageRect = w.displayRect = w.destRect = {0, 0, width, height};
    w.surfaceSize = {width, height};
    if (table->openOverlay(table, &d, &object) != 0) object = nullptr;
    access.requestFlags = 0x8;
    if (object != nullptr) object->lock(object, &access);
  }
  ~Notebook() {
    if (object != nullptr) {
      object->unlock(object);
      object->close(object);
    }
    driverPlatform = {};
  }
  sim::DisplayController controller;
  sim::SimScreen screen;
  sim::SimDirectDraw directDraw;
  sim::SimGlobalMemory memory;
  OverlayObject* object = nullptr;
  SurfaceAccess access{};
};

void setBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// Line by line: the host's lines are tightly packed (1500 bytes), the
// surface's are wider.
void BM_ReadRectLines(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(width * 2 * height);
  RECT r{0, 0, width, height};
  for (auto _ : state) {
    n.object->readRect(n.object, &n.access, &r, host.data(), width * 2, &r);
    benchmark::DoNotOptimize(host.data());
  }
  setBytes(state, host.size());
}
void BM_WriteRectLines(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(width * 2 * height, 1);
  RECT r{0, 0, width, height};
  for (auto _ : state) {
    n.object->writeRect(n.object, host.data(), width * 2, &r, &n.access, &r);
    benchmark::ClobberMemory();
  }
  setBytes(state, host.size());
}
void BM_MemcpyLinesBaseline(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(width * 2 * height);
  for (auto _ : state) {
    std::memcpy(host.data(), n.access.memory, host.size());
    benchmark::DoNotOptimize(host.data());
  }
  setBytes(state, host.size());
}

// One block: the host's pitch equals the surface's.
void BM_ReadRectBlock(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(static_cast<std::size_t>(n.access.pitch) * height);
  RECT r{0, 0, width, height};
  for (auto _ : state) {
    n.object->readRect(n.object, &n.access, &r, host.data(), n.access.pitch, &r);
    benchmark::DoNotOptimize(host.data());
  }
  setBytes(state, host.size());
}
void BM_WriteRectBlock(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(static_cast<std::size_t>(n.access.pitch) * height, 1);
  RECT r{0, 0, width, height};
  for (auto _ : state) {
    n.object->writeRect(n.object, host.data(), n.access.pitch, &r, &n.access, &r);
    benchmark::ClobberMemory();
  }
  setBytes(state, host.size());
}
void BM_MemcpyBlockBaseline(benchmark::State& state) {
  Notebook n;
  std::vector<BYTE> host(static_cast<std::size_t>(n.access.pitch) * height);
  for (auto _ : state) {
    std::memcpy(host.data(), n.access.memory, host.size());
    benchmark::DoNotOptimize(host.data());
  }
  setBytes(state, host.size());
}

// The clear of a new surface, with the simulated overlay's pitch (1504).
constexpr LONG clearPitch = 1504;
void BM_ClearYuy2(benchmark::State& state) {
  std::vector<BYTE> surface(clearPitch * height);
  for (auto _ : state) {
    clearOverlayMemory(surface.data(), width, height, clearPitch, fourCcYuy2);
    benchmark::ClobberMemory();
  }
  setBytes(state, surface.size());
}
void BM_ClearRgb565(benchmark::State& state) {
  std::vector<BYTE> surface(clearPitch * height);
  for (auto _ : state) {
    clearOverlayMemory(surface.data(), width, height, clearPitch, fourCcRgb565);
    benchmark::ClobberMemory();
  }
  setBytes(state, surface.size());
}
void BM_MemsetClearBaseline(benchmark::State& state) {
  std::vector<BYTE> surface(clearPitch * height);
  for (auto _ : state) {
    std::memset(surface.data(), 0, surface.size());
    benchmark::ClobberMemory();
  }
  setBytes(state, surface.size());
}

// The same bytes the YUY2 clear stores: 1500 of each line of 1504.
void BM_MemsetLinesBaseline(benchmark::State& state) {
  std::vector<BYTE> surface(clearPitch * height);
  for (auto _ : state) {
    for (LONG line = 0; line < height; ++line) std::memset(surface.data() + line * clearPitch, 0, width * 2);
    benchmark::ClobberMemory();
  }
  setBytes(state, surface.size());
}

// The scan of a 640 x 480 rectangle of a 16-bit screen without a key pixel.
void BM_ScreenScan(benchmark::State& state) {
  std::vector<BYTE> screen(640 * 480 * 2, 0);
  DriverState& s = driverState;
  s.primaryBits = screen.data();
  s.screenWidth = 640;
  s.screenHeight = 480;
  s.visibleRect = {0, 0, 640, 480};
  for (auto _ : state) {
    s.colorKey = 0xF81F;
    scanScreenForKey(2, 1280);
    benchmark::DoNotOptimize(s.colorKey);
  }
  s = DriverState{};
  setBytes(state, screen.size());
}

BENCHMARK(BM_ReadRectLines);
BENCHMARK(BM_WriteRectLines);
BENCHMARK(BM_MemcpyLinesBaseline);
BENCHMARK(BM_ReadRectBlock);
BENCHMARK(BM_WriteRectBlock);
BENCHMARK(BM_MemcpyBlockBaseline);
BENCHMARK(BM_ClearYuy2);
BENCHMARK(BM_ClearRgb565);
BENCHMARK(BM_MemsetClearBaseline);
BENCHMARK(BM_MemsetLinesBaseline);
BENCHMARK(BM_ScreenScan);

}  // namespace
