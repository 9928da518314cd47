#include "sim/direct_draw_sim.h"

#include <algorithm>

namespace sim {

using namespace platform;

namespace {

constexpr DWORD kFourCCYuy2 = 0x32595559;
constexpr DWORD kFourCCUyvy = 0x59565955;
constexpr HRESULT kNotAnOverlaySurface = ddError(580);
constexpr std::size_t kSurfaceAlign = 16;
// The largest overlay surface side the display makes (the overlay engine
// counts pixels and lines in 12 bits).
constexpr DWORD kMaxOverlaySide = 4095;

LONG overlayPitch(DWORD width) { return static_cast<LONG>((width * 2 + 7) & ~DWORD{7}); }

}  // namespace

class SimDirectDraw::Object final : public IDirectDraw {
 public:
  explicit Object(SimDirectDraw& owner) : owner_(owner) {}
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer) override;
  ULONG Release() override;

  bool released = false;
  bool cooperative = false;
  bool hasPrimary = false;

 private:
  SimDirectDraw& owner_;
};

class SimDirectDraw::Surface final : public IDirectDrawSurface {
 public:
  Surface(SimDirectDraw& owner, Object& obj) : object(obj), owner_(owner) {}
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(void* rect) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT UpdateOverlay(RECT* sourceRect, IDirectDrawSurface* destSurface, RECT* destRect, DWORD flags,
                        DDOVERLAYFX* fx) override;
  HRESULT Restore() override;
  ULONG Release() override;

  const char* name() const { return record.primary ? "primary" : "overlay"; }

  SurfaceRecord record;
  int epoch = 0;
  Object& object;

 private:
  SimDirectDraw& owner_;
};

SimDirectDraw::SimDirectDraw(std::size_t videoMemoryBytes, DisplayMode mode)
    : memory_(std::max(videoMemoryBytes, mode.screenBytes()), 0), mode_(mode) {}

SimDirectDraw::~SimDirectDraw() = default;

HRESULT SimDirectDraw::DirectDrawCreate(GUID* device, IDirectDraw** directDraw, void* outer) {
  log("DirectDrawCreate", "");
  if (directDraw == nullptr || device != nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  HRESULT failure = 0;
  if (takeFailure(Call::DirectDrawCreate, false, failure)) {
    *directDraw = nullptr;
    return failure;
  }
  objects_.push_back(std::make_unique<Object>(*this));
  ++directDrawCreated;
  *directDraw = objects_.back().get();
  return DD_OK;
}

bool SimDirectDraw::setMode(const DisplayMode& mode) {
  if (mode.screenBytes() > memory_.size()) return false;
  mode_ = mode;
  ++modeEpoch_;
  for (auto& surface : surfaces_)
    if (!surface->record.released) {
      surface->record.lost = true;
      surface->record.wrongMode = true;
    }
  return true;
}

std::size_t SimDirectDraw::limitVideoMemory(std::size_t bytes) {
  limit_ = std::max(bytes, mode_.screenBytes());
  return std::min(limit_, memory_.size());
}

void SimDirectDraw::loseSurfaces() {
  for (auto& surface : surfaces_)
    if (!surface->record.released) surface->record.lost = true;
}

void SimDirectDraw::failNext(Call call, HRESULT result, Target target) {
  failures_.push_back({call, target, result});
}

bool SimDirectDraw::takeFailure(Call call, bool primary, HRESULT& result) {
  for (auto it = failures_.begin(); it != failures_.end(); ++it) {
    if (it->call != call) continue;
    if (it->target == Target::Primary && !primary) continue;
    if (it->target == Target::Overlay && primary) continue;
    result = it->result;
    failures_.erase(it);
    return true;
  }
  return false;
}

void SimDirectDraw::log(const char* method, const char* target) {
  std::string entry = method;
  if (*target != '\0') entry += std::string(" ") + target;
  calls_.push_back(std::move(entry));
}

bool SimDirectDraw::allocate(std::size_t bytes, std::size_t& offset) const {
  // First fit after the screen, among the live surfaces that hold memory.
  std::vector<std::pair<std::size_t, std::size_t>> used;
  for (const auto& surface : surfaces_) {
    const auto& r = surface->record;
    if (!r.released && !r.wrongMode && !r.primary && r.bytes != 0) used.emplace_back(r.offset, r.offset + r.bytes);
  }
  std::sort(used.begin(), used.end());
  std::size_t candidate = (mode_.screenBytes() + kSurfaceAlign - 1) & ~(kSurfaceAlign - 1);
  for (const auto& [start, end] : used) {
    if (candidate + bytes <= start) break;
    candidate = std::max(candidate, (end + kSurfaceAlign - 1) & ~(kSurfaceAlign - 1));
  }
  if (candidate + bytes > std::min(memory_.size(), limit_)) return false;
  offset = candidate;
  return true;
}

DDPIXELFORMAT SimDirectDraw::primaryFormat() const {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  format.dwRGBBitCount = static_cast<DWORD>(mode_.bitsPerPixel);
  if (mode_.rgb) format.dwFlags |= DDPF_RGB;
  switch (mode_.bitsPerPixel) {
    case 8:
      format.dwFlags |= DDPF_PALETTEINDEXED8;
      break;
    case 16:
      format.dwRBitMask = 0xF800;
      format.dwGBitMask = 0x07E0;
      format.dwBBitMask = 0x001F;
      break;
    default:
      format.dwRBitMask = 0xFF0000;
      format.dwGBitMask = 0x00FF00;
      format.dwBBitMask = 0x0000FF;
      break;
  }
  return format;
}

void SimDirectDraw::describe(const Surface& surface, DDSURFACEDESC& desc) const {
  const auto& r = surface.record;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc.dwWidth = r.width;
  desc.dwHeight = r.height;
  desc.lPitch = r.pitch;
  desc.ddpfPixelFormat = r.pixelFormat;
  desc.ddsCaps.dwCaps = r.caps;
}

std::vector<SimDirectDraw::SurfaceRecord> SimDirectDraw::surfaces() const {
  std::vector<SurfaceRecord> records;
  for (const auto& surface : surfaces_) records.push_back(surface->record);
  return records;
}

std::optional<SimDirectDraw::SurfaceRecord> SimDirectDraw::liveOverlay() const {
  for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it)
    if (!(*it)->record.released && !(*it)->record.primary) return (*it)->record;
  return std::nullopt;
}

std::optional<SimDirectDraw::SurfaceRecord> SimDirectDraw::livePrimary() const {
  for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it)
    if (!(*it)->record.released && (*it)->record.primary) return (*it)->record;
  return std::nullopt;
}

int SimDirectDraw::heldLocks() const {
  int held = 0;
  for (const auto& surface : surfaces_)
    if (!surface->record.released) held += surface->record.locks;
  return held;
}

// --- The DirectDraw object ---

HRESULT SimDirectDraw::Object::SetCooperativeLevel(HWND, DWORD flags) {
  owner_.log("SetCooperativeLevel", "directDraw");
  if (released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::SetCooperativeLevel, false, failure)) return failure;
  if (flags != DDSCL_NORMAL) return DDERR_INVALIDPARAMS;
  cooperative = true;
  return DD_OK;
}

HRESULT SimDirectDraw::Object::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer) {
  const bool primary = desc != nullptr && (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
  owner_.log("CreateSurface", primary ? "primary" : "overlay");
  if (released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  if (desc == nullptr || out == nullptr || outer != nullptr || desc->dwSize != sizeof(DDSURFACEDESC))
    return DDERR_INVALIDPARAMS;
  *out = nullptr;
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::CreateSurface, primary, failure)) return failure;
  if (!cooperative) return DDERR_NOCOOPERATIVELEVELSET;
  if ((desc->dwFlags & DDSD_CAPS) == 0) return DDERR_INVALIDPARAMS;

  auto surface = std::make_unique<Surface>(owner_, *this);
  auto& r = surface->record;
  r.primary = primary;
  r.caps = desc->ddsCaps.dwCaps;
  surface->epoch = owner_.modeEpoch_;
  if (primary) {
    if (hasPrimary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    r.width = static_cast<DWORD>(owner_.mode_.width);
    r.height = static_cast<DWORD>(owner_.mode_.height);
    r.pitch = static_cast<LONG>(owner_.mode_.width * owner_.mode_.bytesPerPixel());
    r.offset = 0;
    r.bytes = owner_.mode_.screenBytes();
    r.pixelFormat = owner_.primaryFormat();
    hasPrimary = true;
  } else {
    constexpr DWORD needed = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    if ((desc->dwFlags & needed) != needed || desc->dwWidth == 0 || desc->dwHeight == 0) return DDERR_INVALIDPARAMS;
    if ((desc->ddsCaps.dwCaps & DDSCAPS_OVERLAY) == 0) return DDERR_INVALIDCAPS;
    const auto& pf = desc->ddpfPixelFormat;
    const bool rgb16 = (pf.dwFlags & DDPF_RGB) != 0 && pf.dwRGBBitCount == 16;
    const bool yuv = (pf.dwFlags & DDPF_FOURCC) != 0 && (pf.dwFourCC == kFourCCYuy2 || pf.dwFourCC == kFourCCUyvy);
    if (pf.dwSize != sizeof(DDPIXELFORMAT) || !(rgb16 || yuv)) return DDERR_INVALIDPIXELFORMAT;
    // A surface the display cannot make is refused, as DirectDraw does.
    if (desc->dwWidth > kMaxOverlaySide || desc->dwHeight > kMaxOverlaySide) return DDERR_INVALIDPARAMS;
    r.width = desc->dwWidth;
    r.height = desc->dwHeight;
    r.pitch = overlayPitch(desc->dwWidth);
    r.pixelFormat = pf;
    r.hwcodec = (desc->ddsCaps.dwCaps & DDSCAPS_HWCODEC) != 0;
    if (r.hwcodec) {
      // The codec writes straight into the screen: no video memory of its
      // own; its memory is the screen's, from the screen's second line, and
      // what a lock describes must lie in video memory.
      r.offset = static_cast<std::size_t>(owner_.mode_.width) * static_cast<std::size_t>(owner_.mode_.bytesPerPixel());
      r.bytes = 0;
      if (r.offset + static_cast<std::size_t>(r.pitch) * r.height > owner_.memory_.size()) return DDERR_OUTOFVIDEOMEMORY;
    } else {
      const std::size_t bytes = static_cast<std::size_t>(r.pitch) * r.height;
      if (!owner_.allocate(bytes, r.offset)) return DDERR_OUTOFVIDEOMEMORY;
      r.bytes = bytes;
    }
  }
  r.id = static_cast<int>(owner_.surfaces_.size()) + 1;
  ++owner_.surfacesCreated;
  owner_.surfaces_.push_back(std::move(surface));
  *out = owner_.surfaces_.back().get();
  return DD_OK;
}

ULONG SimDirectDraw::Object::Release() {
  owner_.log("Release", "directDraw");
  if (released) {
    ++owner_.misuse;
    return 0;
  }
  for (const auto& surface : owner_.surfaces_)
    if (&surface->object == this && !surface->record.released) ++owner_.misuse;
  released = true;
  ++owner_.directDrawReleased;
  return 0;
}

// --- Surfaces ---

HRESULT SimDirectDraw::Surface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  owner_.log("GetSurfaceDesc", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::GetSurfaceDesc, record.primary, failure)) return failure;
  owner_.describe(*this, *desc);
  return DD_OK;
}

HRESULT SimDirectDraw::Surface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) {
  owner_.log("Lock", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || rect != nullptr) return DDERR_INVALIDPARAMS;
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::Lock, record.primary, failure)) return failure;
  if (record.lost) return DDERR_SURFACELOST;
  if (record.locks != 0) return DDERR_SURFACEBUSY;
  owner_.describe(*this, *desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = owner_.memory_.data() + record.offset;
  ++record.locks;
  ++owner_.locks;
  return DD_OK;
}

HRESULT SimDirectDraw::Surface::Unlock(void*) {
  owner_.log("Unlock", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  if (record.locks == 0) {
    ++owner_.misuse;
    return DDERR_NOTLOCKED;
  }
  --record.locks;
  ++owner_.unlocks;
  return DD_OK;
}

HRESULT SimDirectDraw::Surface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  owner_.log("SetColorKey", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  if (key == nullptr || flags != DDCKEY_DESTOVERLAY) return DDERR_INVALIDPARAMS;
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::SetColorKey, record.primary, failure)) return failure;
  if (record.primary) owner_.destKey_ = *key;
  return DD_OK;
}

HRESULT SimDirectDraw::Surface::UpdateOverlay(RECT* sourceRect, IDirectDrawSurface* destSurface, RECT* destRect,
                                              DWORD flags, DDOVERLAYFX* fx) {
  owner_.log("UpdateOverlay", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  UpdateRecord update;
  update.surface = record.id;
  auto* dest = static_cast<Surface*>(destSurface);
  update.destSurface = dest != nullptr ? dest->record.id : 0;
  if (sourceRect != nullptr) update.source = *sourceRect;
  if (destRect != nullptr) update.dest = *destRect;
  update.flags = flags;
  if (fx != nullptr) update.fx = *fx;

  HRESULT result = DD_OK;
  if (record.primary) {
    result = kNotAnOverlaySurface;
  } else if (dest == nullptr || dest->record.released || !dest->record.primary) {
    if (dest != nullptr && dest->record.released) ++owner_.misuse;
    result = DDERR_INVALIDPARAMS;
  } else if ((flags & DDOVER_DDFX) != 0 && (fx == nullptr || fx->dwSize != sizeof(DDOVERLAYFX))) {
    result = DDERR_INVALIDPARAMS;
  } else if ((flags & (DDOVER_SHOW | DDOVER_HIDE)) == (DDOVER_SHOW | DDOVER_HIDE)) {
    result = DDERR_INVALIDPARAMS;
  } else if (owner_.takeFailure(Call::UpdateOverlay, false, result)) {
  } else if (record.lost || dest->record.lost) {
    result = DDERR_SURFACELOST;
  }
  update.result = result;
  owner_.updates_.push_back(update);
  return result;
}

HRESULT SimDirectDraw::Surface::Restore() {
  owner_.log("Restore", name());
  if (record.released) {
    ++owner_.misuse;
    return DDERR_INVALIDOBJECT;
  }
  HRESULT failure = 0;
  if (owner_.takeFailure(Call::Restore, record.primary, failure)) return failure;
  if (record.wrongMode) return DDERR_WRONGMODE;
  record.lost = false;
  return DD_OK;
}

ULONG SimDirectDraw::Surface::Release() {
  owner_.log("Release", name());
  if (record.released) {
    ++owner_.misuse;
    return 0;
  }
  if (record.locks != 0) ++owner_.misuse;
  record.released = true;
  record.locks = 0;
  if (record.primary) object.hasPrimary = false;
  ++owner_.surfacesReleased;
  return 0;
}

}  // namespace sim
