#include "nicshow.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "nicshow_texts_cp932.h"

namespace nicshow {

namespace {

constexpr std::string_view kBanner =
    "** Network Address Display Utility Version 1.0 **\n"
    "Prints the network address of this computer's LAN card,\n"
    "as NetBIOS reports it in the local adapter status.\n\n";

// Receives the ADAPTER_STATUS record; its first six bytes are the address.
std::array<UCHAR, kStatusBufferSize> statusBuffer;

struct FirstAddress {
  std::array<UCHAR, 6> bytes{};
  bool answered = false;
};

UCHAR resetAdapter(platform::NetBios& netbios, UCHAR lana) {
  NCB ncb{};
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = lana;
  return netbios.Netbios(&ncb);
}

UCHAR adapterStatus(platform::NetBios& netbios, UCHAR lana) {
  NCB ncb{};
  ncb.ncb_command = NCBASTAT;
  ncb.ncb_buffer = statusBuffer.data();
  ncb.ncb_length = kStatusBufferSize;
  std::copy(kLocalStatusName.begin(), kLocalStatusName.end(), ncb.ncb_callname);
  ncb.ncb_lana_num = lana;
  return netbios.Netbios(&ncb);
}

}  // namespace

int run(platform::NetBios& netbios, platform::Console& console) {
  console.writeErr(kBanner);

  FirstAddress first;
  for (UCHAR lana = 0; lana < kLanaCount; ++lana) {
    if (resetAdapter(netbios, lana) != NRC_GOODRET) continue;
    if (adapterStatus(netbios, lana) != NRC_GOODRET) continue;
    if (!first.answered) {
      std::copy_n(statusBuffer.begin(), first.bytes.size(), first.bytes.begin());
      first.answered = true;
    } else if (!std::equal(first.bytes.begin(), first.bytes.end(), statusBuffer.begin())) {
      console.writeErr(texts::severalCards);
      return exitSeveralCards;
    }
  }

  const bool zero = std::all_of(first.bytes.begin(), first.bytes.end(), [](UCHAR b) { return b == 0; });
  if (!first.answered || zero) {
    console.writeErr(texts::notUsable);
    return exitNotUsable;
  }
  const std::string format(texts::address);
  const std::array<UCHAR, 6>& a = first.bytes;
  console.writeOut(platform::format(format.c_str(), a[0], a[1], a[2], a[3], a[4], a[5]));
  return exitAddress;
}

}  // namespace nicshow
