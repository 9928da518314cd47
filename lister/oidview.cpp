// The lister's main flow: language, platform, adapter choice, install key,
// device, listing.
#include <algorithm>
#include <cstring>
#include <string>

#include "oidview.h"
#include "oidview_texts_cp932.h"

namespace oidview {

namespace {

constexpr const char* kInstallKey = "System\\CurrentControlSet\\Services\\VxD\\KVELDHUB\\Install";
constexpr const char* kDeviceName = "\\\\.\\KVELDNAV.VXD";
constexpr std::size_t kReplyLine = 1023;  // characters of a reply that are read

// A text in both languages.
struct TextPair {
  std::string_view english;
  std::string_view japanese;
};

constexpr TextPair kNoAdapters{"NDIS adapters not found\n", ja::noAdapters};
constexpr TextPair kSelectNumber{"select number", ja::selectNumber};
constexpr TextPair kWrongAdapter{"You wrong Adapter name.", ja::wrongAdapter};
constexpr TextPair kUsage{"Windows 95 NDIS object listing utility\nusage: oidview [adapter name]\n", ja::usage};
constexpr TextPair kDeviceNotFound{"OIDVIEW.VXD not found", ja::deviceNotFound};

std::string_view text(const Lister& lister, const TextPair& pair) {
  return lister.useJapanese ? pair.japanese : pair.english;
}

void choose(Lister& lister, const char* name) {
  lister.selectedAdapter.fill(0);
  const std::size_t size = std::min(std::strlen(name), lister.selectedAdapter.size() - 1);
  std::memcpy(lister.selectedAdapter.data(), name, size);
}

int askForAdapter(Lister& lister, int count) {
  platform::Console& console = lister.console;
  for (int i = 0; i < count; ++i) {
    const AdapterRecord& entry = lister.adapterList[static_cast<std::size_t>(i)];
    console.writeErr(platform::format("%d. %s (%s)\n", i + 1, entry.description.data(), entry.name.data()));
  }
  const std::string prompt(text(lister, kSelectNumber));
  std::string reply;
  for (;;) {
    console.writeErr(platform::format("%s(1-%d): ", prompt.c_str(), count));
    // End of input counts as an empty reply.
    if (!console.readLine(reply) || reply.empty()) return 0;
    // A reply longer than the line buffer is read whole; its start counts.
    if (reply.size() > kReplyLine) reply.resize(kReplyLine);
    const std::int32_t k = leadingNumber(reply);
    if (k >= 1 && k <= count) {
      choose(lister, lister.adapterList[static_cast<std::size_t>(k - 1)].name.data());
      return 1;
    }
  }
}

bool makeInstallKey(Lister& lister) {
  platform::Registry& registry = lister.registry;
  platform::RegKey key(registry);
  DWORD disposition = 0;
  if (registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                               key.put(), &disposition) != ERROR_SUCCESS)
    return false;
  // A new key gets an empty DstDir; a key that already existed is left as it is.
  if (disposition == REG_CREATED_NEW_KEY)
    registry.RegSetValueExA(key.get(), "DstDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0);
  return true;
}

}  // namespace

int chooseAdapter(Lister& lister, int argc, const char* const* argv) {
  platform::Console& console = lister.console;
  const int count = collectAdapters(lister);
  if (argc <= 1) {
    if (count == 0) {
      console.writeErr(text(lister, kNoAdapters));
      return 0;
    }
    if (count == 1) {
      choose(lister, lister.adapterList[0].name.data());
      return 1;
    }
    return askForAdapter(lister, count);
  }
  if (argc > 2) {
    console.writeErr(text(lister, kUsage));
    return 0;
  }
  const std::string_view argument = argv[1];
  // A slash first, or a question mark second (only when there is one).
  if ((!argument.empty() && argument[0] == '/') || (argument.size() > 1 && argument[1] == '?')) {
    console.writeErr(text(lister, kUsage));
    return 0;
  }
  for (int i = 0; i < count; ++i) {
    if (argument == lister.adapterList[static_cast<std::size_t>(i)].name.data()) {
      choose(lister, argv[1]);
      return 1;
    }
  }
  console.writeErr(text(lister, kWrongAdapter));
  return 0;
}

int runOidview(Lister& lister, int argc, const char* const* argv) {
  lister.useJapanese = (lister.language.GetUserDefaultLangID() & 0x3FF) == LANG_JAPANESE;

  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  if (!lister.version.GetVersionExA(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
    // This message exists in Japanese only.
    lister.console.writeErr(ja::notWindows95);
    return 0;
  }

  if (chooseAdapter(lister, argc, argv) == 0) return 0;
  if (!makeInstallKey(lister)) return 0;

  lister.deviceHandle = lister.device.CreateFileA(
      kDeviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
      FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (lister.deviceHandle == INVALID_HANDLE_VALUE) {
    lister.console.writeErr(text(lister, kDeviceNotFound));
    return 0;
  }
  printObjects(lister);
  lister.device.CloseHandle(lister.deviceHandle);
  lister.deviceHandle = INVALID_HANDLE_VALUE;
  return 1;
}

}  // namespace oidview
