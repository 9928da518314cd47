#include "nicshow.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "nicshow_texts_cp932.h"
#include "sim/netbios_sim.h"

namespace {

// Converts UTF-8 text to code page 932 with glibc's iconv, independently of
// the build-time conversion of the tool's texts.
std::string cp932(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv has no CP932";
    return {};
  }
  std::string in(utf8);
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  EXPECT_NE(done, static_cast<std::size_t>(-1)) << "cannot convert " << utf8;
  out.resize(out.size() - outLeft);
  return out;
}

class CaptureConsole : public platform::Console {
 public:
  void writeOut(std::string_view bytes) override { out += bytes; }
  void writeErr(std::string_view bytes) override { err += bytes; }
  bool readLine(std::string&) override {
    ++reads;
    return false;
  }
  std::string out, err;
  int reads = 0;
};

const std::string kBanner =
    "** Network Address Display Utility Version 1.0 **\n"
    "Prints the network address of this computer's LAN card,\n"
    "as NetBIOS reports it in the local adapter status.\n\n";

std::string addressLine(std::string_view digits) {
  return cp932("現在のネットワークアドレスは " + std::string(digits) + " です。\n");
}
const std::string kSeveralCards = "ＬＡＮカードが複数枚設置されています。\n";
const std::string kNotUsable = "ネットワークが使用できる状態ではありません。\n";

sim::SimLana lana(UCHAR number, sim::NetworkAddress address, bool reset = true, bool status = true) {
  sim::SimLana entry;
  entry.number = number;
  entry.address = address;
  entry.resetAnswers = reset;
  entry.statusAnswers = status;
  return entry;
}

constexpr sim::NetworkAddress kCardA = {0x00, 0x00, 0x0e, 0xab, 0xcd, 0xef};
constexpr sim::NetworkAddress kCardB = {0x02, 0x00, 0x4c, 0x4f, 0x4f, 0x50};
constexpr sim::NetworkAddress kZero = {};

struct Scenario {
  const char* name;
  std::vector<sim::SimLana> lanas;
  std::string out;      // expected standard output
  std::string errUtf8;  // expected standard error after the banner, as UTF-8
  int exit;
  int lastReset;           // the last LANA sent a reset
  std::set<int> statused;  // the LANAs asked for their status
};

// The calls a run makes: a reset for every LANA from 0 to lastReset, each
// followed by a status request where the scenario says one is sent; each
// control block cleared but for the fields of its command.
std::vector<sim::NetBiosCall> expectedCalls(const Scenario& s) {
  std::vector<sim::NetBiosCall> calls;
  for (int n = 0; n <= s.lastReset; ++n) {
    calls.push_back({NCBRESET, static_cast<UCHAR>(n), 0, {}, false, true});
    if (s.statused.count(n) != 0) calls.push_back({NCBASTAT, static_cast<UCHAR>(n), 600, {0x2A, 0x09}, true, true});
  }
  return calls;
}

TEST(Nicshow, OutcomesOnTheSimulatedAdapters) {
  const std::vector<Scenario> scenarios = {
      {"only LANA 3 answers", {lana(3, kCardA)}, addressLine("00000eabcdef"), "", 0, 19, {3}},
      {"LANAs 0 and 1 agree", {lana(0, kCardB), lana(1, kCardB)}, addressLine("02004c4f4f50"), "", 0, 19, {0, 1}},
      {"digits are lower case",
       {lana(0, {0xAB, 0xCD, 0xEF, 0x0A, 0xF0, 0x09})},
       addressLine("abcdef0af009"),
       "",
       0,
       19,
       {0}},
      {"LANAs 0 and 5 differ; 6 to 19 never asked",
       {lana(0, kCardA), lana(5, kCardB), lana(6, kCardA), lana(12, kCardB)},
       "",
       kSeveralCards,
       1,
       5,
       {0, 5}},
      {"no LANA at all", {}, "", kNotUsable, 2, 19, {}},
      {"a zero address alone", {lana(7, kZero)}, "", kNotUsable, 2, 19, {7}},
      {"zero, then zero again", {lana(1, kZero), lana(2, kZero)}, "", kNotUsable, 2, 19, {1, 2}},
      {"zero, then a different non-zero address", {lana(1, kZero), lana(4, kCardA)}, "", kSeveralCards, 1, 4, {1, 4}},
      {"a failed reset is never asked for status",
       {lana(2, kCardA, false, true), lana(4, kCardB)},
       addressLine("02004c4f4f50"),
       "",
       0,
       19,
       {4}},
      {"a failed status is passed over",
       {lana(0, kCardA, true, false), lana(9, kCardB)},
       addressLine("02004c4f4f50"),
       "",
       0,
       19,
       {0, 9}},
      {"LANA 20 is never asked", {lana(20, kCardA), lana(254, kCardB)}, "", kNotUsable, 2, 19, {}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    sim::SimNetBios netbios;
    netbios.lanas = s.lanas;
    CaptureConsole console;
    EXPECT_EQ(nicshow::run(netbios, console), s.exit);
    EXPECT_EQ(console.out, s.out);
    EXPECT_EQ(console.err, kBanner + cp932(s.errUtf8));
    EXPECT_EQ(console.reads, 0);
    EXPECT_EQ(netbios.calls, expectedCalls(s));
  }
}

TEST(Nicshow, TextsAreTheCodePage932OfTheirOriginals) {
  EXPECT_EQ(nicshow::texts::address, cp932(nicshow::texts::utf8::address));
  EXPECT_EQ(nicshow::texts::severalCards, cp932(nicshow::texts::utf8::severalCards));
  EXPECT_EQ(nicshow::texts::notUsable, cp932(nicshow::texts::utf8::notUsable));
}

// --- The Linux program on a named machine profile -------------------------

struct ProgramRun {
  int exit = -1;
  std::string out, err;
};

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

ProgramRun runProgram(const std::filesystem::path& folder, const std::string& profile) {
  std::ofstream(folder / "machine.toml") << profile;
  const std::string command = "KIT_MACHINE='" + (folder / "machine.toml").string() + "' '" NICSHOW_PROGRAM "' >'" +
                              (folder / "out").string() + "' 2>'" + (folder / "err").string() + "' </dev/null";
  const int status = std::system(command.c_str());
  ProgramRun run;
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = slurp(folder / "out");
  run.err = slurp(folder / "err");
  return run;
}

TEST(NicshowProgram, TakesItsAdaptersFromTheNamedProfile) {
  char pattern[] = "/tmp/nicshow-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;

  ProgramRun run = runProgram(folder,
                              "platform = \"windows95\"\n[[netbios.lana]]\nnumber = 2\n"
                              "address = \"00:00:0e:ab:cd:ef\"\n");
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.out, addressLine("00000eabcdef"));
  EXPECT_EQ(run.err, kBanner);

  run = runProgram(folder, "platform = \"windows95\"\n");
  EXPECT_EQ(run.exit, 2);
  EXPECT_EQ(run.err, kBanner + cp932(kNotUsable));

  // A profile that cannot be read is the simulated machine's failure, not
  // the network's: no banner, no NetBIOS outcome.
  run = runProgram(folder, "platform = \"windows95\"\n[[netbios.lana]]\nnumber = 300\naddress = \"000000000001\"\n");
  EXPECT_EQ(run.exit, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "nicshow: cannot load the machine profile: " + (folder / "machine.toml").string() +
                         ": netbios.lana[0]: number must be a LANA from 0 to 254\n");

  std::filesystem::remove_all(folder);
}

// --- The machine's own adapters -------------------------------------------

struct SysInterface {
  std::string name;
  unsigned index = 0;
  std::string address;  // as /sys/class/net/<if>/address shows it
};

std::string readLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// True when the interface has an IPv4 address, under its own name or under a
// label of it ("eth0:1"), as the SIOCGIFCONF request lists them.
bool hasIpv4(const std::string& name) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  std::vector<ifreq> requests(256);
  ifconf list{};
  list.ifc_len = static_cast<int>(requests.size() * sizeof(ifreq));
  list.ifc_req = requests.data();
  const bool listed = ioctl(fd, SIOCGIFCONF, &list) == 0;
  close(fd);
  if (!listed) return false;
  const std::size_t count = static_cast<std::size_t>(list.ifc_len) / sizeof(ifreq);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string label(requests[i].ifr_name, strnlen(requests[i].ifr_name, IFNAMSIZ));
    if (label.substr(0, label.find(':')) == name) return true;
  }
  return false;
}

// The interfaces NetBIOS binds to, worked out from /sys/class/net and the
// SIOCGIFCONF request rather than getifaddrs.
std::vector<SysInterface> sysQualifyingInterfaces() {
  std::vector<SysInterface> found;
  std::error_code ec;
  for (const auto& dir : std::filesystem::directory_iterator("/sys/class/net", ec)) {
    const std::string name = dir.path().filename().string();
    const std::string flagsText = readLine(dir.path() / "flags");
    if (flagsText.empty()) continue;  // not an interface (bonding_masters)
    const unsigned long flags = std::stoul(flagsText, nullptr, 16);
    const bool up = (flags & IFF_UP) != 0;
    const bool loopback = (flags & IFF_LOOPBACK) != 0;
    const std::string length = readLine(dir.path() / "addr_len");
    if (!up || loopback || length != "6" || !hasIpv4(name)) continue;
    found.push_back(
        {name, static_cast<unsigned>(std::stoul(readLine(dir.path() / "ifindex"))), readLine(dir.path() / "address")});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
  return found;
}

TEST(NicshowHostAdapters, PrintsTheAddressOfTheFirstQualifyingInterface) {
  const std::vector<SysInterface> expected = sysQualifyingInterfaces();
  if (expected.empty())
    GTEST_SKIP() << "no network interface here is up, not a loopback, with a 6-byte hardware address "
                    "and an IPv4 address";

  sim::SimNetBios netbios;
  std::string error;
  ASSERT_TRUE(sim::loadHostNetBios(netbios, error)) << error;
  ASSERT_EQ(netbios.lanas.size(), expected.size());
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(netbios.lanas[n].number, n);
    EXPECT_EQ(netbios.lanas[n].interfaceName, expected[n].name);
  }

  CaptureConsole console;
  const int code = nicshow::run(netbios, console);
  const bool allSame = std::all_of(expected.begin(), expected.end(),
                                   [&](const SysInterface& i) { return i.address == expected[0].address; });
  std::string digits = expected[0].address;
  digits.erase(std::remove(digits.begin(), digits.end(), ':'), digits.end());
  if (allSame && digits != "000000000000") {
    EXPECT_EQ(code, 0);
    EXPECT_EQ(console.out, addressLine(digits)) << "interface " << expected[0].name;
    EXPECT_EQ(console.err, kBanner);
  } else if (allSame) {
    EXPECT_EQ(code, 2);
    EXPECT_EQ(console.err, kBanner + cp932(kNotUsable));
  } else {
    EXPECT_EQ(code, 1);
    EXPECT_EQ(console.err, kBanner + cp932(kSeveralCards));
  }
}

}  // namespace
