// Simulated DirectDraw: video memory with the screen (the primary surface) at
// its start and overlay surfaces after it.
//
// It keeps every surface's description, pitch and memory, the destination
// colour key set on the primary, and each UpdateOverlay call in full.  A test
// can make the surfaces lost, change the display mode (after which Restore
// answers DDERR_WRONGMODE), and make single calls fail.  It counts objects
// created and released, locks and unlocks, and calls on released objects, so
// that a test can check that nothing leaks and no lock stays held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/direct_draw.h"

namespace sim {

struct DisplayMode {
  int width = 640;
  int height = 480;
  int bitsPerPixel = 16;
  // Whether the primary surface's pixel format carries DDPF_RGB.
  bool rgb = true;
  int bytesPerPixel() const { return bitsPerPixel / 8; }
  std::size_t screenBytes() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(bytesPerPixel());
  }
};

class SimDirectDraw : public platform::DirectDrawApi {
 public:
  explicit SimDirectDraw(std::size_t videoMemoryBytes = 2u << 20, DisplayMode mode = {});
  ~SimDirectDraw() override;
  SimDirectDraw(const SimDirectDraw&) = delete;
  SimDirectDraw& operator=(const SimDirectDraw&) = delete;

  HRESULT DirectDrawCreate(GUID* device, platform::IDirectDraw** directDraw, void* outer) override;

  // --- The scenario ---
  const DisplayMode& mode() const { return mode_; }
  // Changes the display mode: every surface is lost, and Restore of a surface
  // made before the change answers DDERR_WRONGMODE.  False (and nothing
  // changed) when the new screen does not fit in video memory.
  bool setMode(const DisplayMode& mode);
  // Every surface is lost (as when another program took the display); Restore
  // brings them back.
  void loseSurfaces();
  // Video memory shrinks to its first `bytes` (as when another program takes
  // the rest): surfaces made later must fit below that; the screen always
  // fits.  Returns the bytes now usable.
  std::size_t limitVideoMemory(std::size_t bytes);

  enum class Call { DirectDrawCreate, SetCooperativeLevel, CreateSurface, GetSurfaceDesc, Lock, SetColorKey, UpdateOverlay, Restore };
  enum class Target { Any, Primary, Overlay };
  // The next matching call answers `result` without doing its work.
  void failNext(Call call, HRESULT result, Target target = Target::Any);

  // --- What happened ---
  std::span<std::uint8_t> videoMemory() { return memory_; }
  // The screen's memory: the start of video memory.
  std::uint8_t* screenMemory() { return memory_.data(); }

  struct SurfaceRecord {
    int id = 0;
    bool primary = false;
    bool hwcodec = false;
    bool released = false;
    bool lost = false;
    bool wrongMode = false;
    DWORD width = 0;
    DWORD height = 0;
    LONG pitch = 0;
    std::size_t offset = 0;  // from the start of video memory
    std::size_t bytes = 0;   // video memory it holds (0 for DDSCAPS_HWCODEC)
    DWORD caps = 0;
    platform::DDPIXELFORMAT pixelFormat{};
    int locks = 0;
  };
  struct UpdateRecord {
    int surface = 0;  // id of the overlay surface
    int destSurface = 0;
    std::optional<RECT> source;
    std::optional<RECT> dest;
    DWORD flags = 0;
    std::optional<platform::DDOVERLAYFX> fx;
    HRESULT result = 0;
  };

  // Every surface made so far, released ones included, in order of creation.
  std::vector<SurfaceRecord> surfaces() const;
  // The live (not released) overlay surface made last, if any.
  std::optional<SurfaceRecord> liveOverlay() const;
  std::optional<SurfaceRecord> livePrimary() const;
  const std::vector<UpdateRecord>& updates() const { return updates_; }
  // The destination overlay key last set on a primary surface.
  std::optional<platform::DDCOLORKEY> destOverlayKey() const { return destKey_; }
  // Method calls in order, as "Method target" (target: directDraw, primary,
  // overlay).
  const std::vector<std::string>& calls() const { return calls_; }

  int directDrawCreated = 0;
  int directDrawReleased = 0;
  int surfacesCreated = 0;
  int surfacesReleased = 0;
  int locks = 0;
  int unlocks = 0;
  // Calls on released objects, releases of a DirectDraw object whose surfaces
  // are alive, and unlocks without a lock.
  int misuse = 0;

  int liveObjects() const {
    return (directDrawCreated - directDrawReleased) + (surfacesCreated - surfacesReleased);
  }
  int heldLocks() const;

  class Object;
  class Surface;

 private:
  friend class Object;
  friend class Surface;
  bool takeFailure(Call call, bool primary, HRESULT& result);
  void log(const char* method, const char* target);
  bool allocate(std::size_t bytes, std::size_t& offset) const;
  void describe(const Surface& surface, platform::DDSURFACEDESC& desc) const;
  platform::DDPIXELFORMAT primaryFormat() const;

  struct Failure {
    Call call;
    Target target;
    HRESULT result;
  };

  std::vector<std::uint8_t> memory_;
  DisplayMode mode_;
  std::size_t limit_ = SIZE_MAX;
  int modeEpoch_ = 0;
  std::vector<std::unique_ptr<Object>> objects_;
  std::vector<std::unique_ptr<Surface>> surfaces_;
  std::vector<Failure> failures_;
  std::vector<UpdateRecord> updates_;
  std::vector<std::string> calls_;
  std::optional<platform::DDCOLORKEY> destKey_;
};

}  // namespace sim
