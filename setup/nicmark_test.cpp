// nicmark end to end on the simulated notebook: exact bytes on standard
// error, exit codes, and the registry afterwards.
#include "nicmark.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace nicmark {
namespace {

using testing::makeMachine;
using testing::MemoryConsole;

const std::string banner =
    "** Network Address Setup Utility Version 1.0 **\n"
    "Sets or releases the locally administered address of a network adapter.\n"
    "Usage: nicmark [adapter name [network address]]\n\n";
const std::string list95 =
    "  No.  :Adapter  Network Address\n"
    "   1   :0000     Global Address\n"
    "   2   :0002     02004C4F4F50\n";
const std::string adapterPrompt = "\nSelect the number of adapter.(0 :Cancel) ";
const std::string menu =
    "\n0 :Exit\n1 :Setting of Network Address\n2 :Release of Network Address\n\nSelect the number. ";
const std::string addressPrompt = "Input the Network Address. ";
const std::string malformed = "\nThe specification of the Network Address is wrong.\n";
const std::string written = "The Network Address was set. \nPlease reactivate the system. \n";
const std::string released = "The Network Address was released.\nPlease reactivate the system.\n";

const std::string key0000 = std::string(testing::windows95Net) + "\\0000";
const std::string key0002 = std::string(testing::windows95Net) + "\\0002";

struct Result {
  int code;
  std::string err;
};

Result runTool(sim::Machine& machine, std::vector<std::string_view> args, std::vector<std::string> answers = {}) {
  MemoryConsole console(std::move(answers));
  sim::SimVersion version(machine);
  const int code = run(version, machine.registry, console, args);
  EXPECT_EQ(machine.registry.openHandles(), 0) << "a registry key was left open";
  EXPECT_EQ(console.out, "") << "nothing goes to standard output";
  EXPECT_EQ(console.unread(), 0u) << "answers left unread";
  return {code, console.err};
}

// The NetworkAddress value as stored, or "-" when there is none.
std::string addressIn(const sim::Machine& machine, const std::string& key) {
  const sim::RegValue* v = machine.registry.value(key, "NetworkAddress");
  if (v == nullptr) return "-";
  EXPECT_EQ(v->type, REG_SZ);
  return std::string(v->data.begin(), v->data.end());
}

TEST(CheckAddressSyntax, AcceptsOnlyLocallyAdministeredIndividualAddresses) {
  struct Row {
    std::string text;
    int valid;
  };
  const Row rows[] = {
      {"02AABBCCDDEE", 1},
      {"0eaabbccddee", 1},
      {"F6000000000a", 1},
      {"0A0123456789", 1},
      {"01AABBCCDDEE", 0},
      {"03AABBCCDDEE", 0},
      {"00AABBCCDDEE", 0},
      {"0FAABBCCDDEE", 0},
      {"02AABBCCDDE", 0},
      {"02AABBCCDDEEF", 0},
      {"02-AA-BB-CC-DD-EE", 0},
      {"02AABBCCDDEG", 0},
      {"02AABBCCDDEE ", 0},
      {" 02AABBCCDDEE", 0},
      {"", 0},
      {"G2AABBCCDDEE", 0},
      {std::string("02AABBCCDDEE\0", 13), 0},  // an embedded zero is not cut away
      {"02AABBCCDDEE02AABBCCDDEE", 0},         // a long text never passes by being cut
  };
  for (const Row& row : rows) {
    MemoryConsole console;
    Session session(console);
    EXPECT_EQ(checkAddressSyntax(session, row.text), row.valid) << row.text;
    EXPECT_EQ(console.err, row.valid ? "" : malformed) << row.text;
  }
}

TEST(Interactive, ListChooseSetWritesTheAddressAsTyped) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, testing::windows95Sample);
  const Result r = runTool(*machine, {}, {"1", "1", "0eaabbccddee"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, banner + list95 + adapterPrompt + menu + addressPrompt + written);
  EXPECT_EQ(addressIn(*machine, key0000), std::string("0eaabbccddee\0", 13));
  EXPECT_EQ(addressIn(*machine, key0002), std::string("02004C4F4F50\0", 13));
}

TEST(Interactive, DialoguesEndAsAnswered) {
  struct Row {
    const char* what;
    std::vector<std::string> answers;
    std::string afterList;
    int code;
    std::string address0002;  // NetworkAddress of 0002 afterwards
  };
  const std::string before = std::string("02004C4F4F50\0", 13);
  const std::string typed = std::string("02AABBCCDDEE\0", 13);
  const Row rows[] = {
      {"cancel at the adapter prompt", {"0"}, adapterPrompt, 0, before},
      {"a word converts to 0", {"abc"}, adapterPrompt, 0, before},
      {"an empty answer converts to 0", {""}, adapterPrompt, 0, before},
      {"end of input at the adapter prompt", {}, adapterPrompt, 0, before},
      {"cancel at the menu", {"2", "0"}, adapterPrompt + menu, 0, before},
      {"end of input at the menu", {"2"}, adapterPrompt + menu, 0, before},
      {"out of range answers repeat silently",
       {"3", "-1", "99999999999", " 2", "3", "-2", "1x", "02AABBCCDDEE"},
       adapterPrompt + adapterPrompt + adapterPrompt + adapterPrompt + menu + menu + menu + addressPrompt + written,
       0,
       typed},
      {"release", {"2", "2"}, adapterPrompt + menu + released, 0, "-"},
      {"malformed addresses are asked again",
       {"2", "1", "02AABBCCDDEE ", "01AABBCCDDEE", "02AABBCCDDEE02AABBCCDDEE", "02AABBCCDDEE"},
       adapterPrompt + menu + addressPrompt + malformed + addressPrompt + malformed + addressPrompt + malformed +
           addressPrompt + written,
       0,
       typed},
      {"end of input at the address prompt",
       {"2", "1", "01AABBCCDDEE"},
       adapterPrompt + menu + addressPrompt + malformed + addressPrompt,
       2,
       before},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, testing::windows95Sample);
    const Result r = runTool(*machine, {}, row.answers);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.err, banner + list95 + row.afterList);
    EXPECT_EQ(addressIn(*machine, key0002), row.address0002);
    EXPECT_EQ(addressIn(*machine, key0000), "-");
  }
}

TEST(Interactive, SingleAdapterGoesStraightToTheMenu) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, R"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Net\0007]
"DeviceVxDs"="E100B.SYS"
"NetworkAddress"="0200AA000001"
)");
  const Result r = runTool(*machine, {}, {"2"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, banner + "  No.  :Adapter  Network Address\n   1   :0007     0200AA000001\n" + menu + released);
  EXPECT_EQ(addressIn(*machine, std::string(testing::windows95Net) + "\\0007"), "-");
}

TEST(Interactive, WindowsNtListsServiceNamesAndWritesUnderParameters) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_NT, testing::windowsNtSample);
  const Result r = runTool(*machine, {}, {"1", "1", "02AABBCCDDEE"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, banner +
                       "  No.  :Adapter  Network Address\n"
                       "   1   :E100B1     Global Address\n"
                       "   2   :DC21X41     0200AA000001\n" +
                       adapterPrompt + menu + addressPrompt + written);
  EXPECT_EQ(addressIn(*machine, std::string(testing::windowsNtServices) + "\\E100B1\\Parameters"),
            std::string("02AABBCCDDEE\0", 13));
}

TEST(CommandLine, SetsReleasesAndRefuses) {
  struct Row {
    const char* what;
    std::vector<std::string_view> args;
    std::string afterBanner;
    int code;
    std::string address0000;
    std::string address0002;
  };
  const std::string before = std::string("02004C4F4F50\0", 13);
  const Row rows[] = {
      {"set", {"0000", "02AABBCCDDEE"}, written, 0, std::string("02AABBCCDDEE\0", 13), before},
      {"set replaces an address", {"0002", "0600000000fe"}, written, 0, "-", std::string("0600000000fe\0", 13)},
      {"release", {"0002"}, released, 0, "-", "-"},
      {"release without a value", {"0000"}, released, 0, "-", before},
      {"name compared without case", {"0002", "0A0000000001"}, written, 0, "-", std::string("0A0000000001\0", 13)},
      {"unknown adapter", {"0001"}, "The specification of the adapter name is wrong.\n", 2, "-", before},
      {"unknown adapter with an address",
       {"0003", "02AABBCCDDEE"},
       "The specification of the adapter name is wrong.\n",
       2,
       "-",
       before},
      {"malformed address", {"0000", "01AABBCCDDEE"}, malformed, 2, "-", before},
      {"address one digit long", {"0000", "02AABBCCDDEEF"}, malformed, 2, "-", before},
      {"three arguments", {"0000", "02AABBCCDDEE", "x"}, "", 1, "-", before},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, testing::windows95Sample);
    const Result r = runTool(*machine, row.args);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.err, banner + row.afterBanner);
    EXPECT_EQ(addressIn(*machine, key0000), row.address0000);
    EXPECT_EQ(addressIn(*machine, key0002), row.address0002);
  }
}

TEST(CommandLine, WindowsNtWritesAndReleasesUnderTheServiceParameters) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_NT, testing::windowsNtSample);
  const std::string e100b = std::string(testing::windowsNtServices) + "\\E100B1\\Parameters";
  const std::string dc21x4 = std::string(testing::windowsNtServices) + "\\DC21X41\\Parameters";
  Result r = runTool(*machine, {"e100b1", "02AABBCCDDEE"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, banner + written);
  EXPECT_EQ(addressIn(*machine, e100b), std::string("02AABBCCDDEE\0", 13));
  r = runTool(*machine, {"DC21X41"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, banner + released);
  EXPECT_EQ(addressIn(*machine, dc21x4), "-");
  // The card's own NetworkCards subkey name is not an adapter name on NT.
  r = runTool(*machine, {"1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, banner + "The specification of the adapter name is wrong.\n");
}

TEST(MainFlow, NothingToServeEndsBeforeTheBanner) {
  struct Row {
    const char* what;
    DWORD platformId;
    std::string_view reg;
    std::vector<std::string_view> args;
    std::string err;
  };
  const Row rows[] = {
      {"Win32s", VER_PLATFORM_WIN32s, testing::windows95Sample, {}, ""},
      {"unknown platform", 5, testing::windows95Sample, {"0000"}, ""},
      {"no adapter", VER_PLATFORM_WIN32_WINDOWS, "REGEDIT4\n", {}, "Adapters not found\n"},
      {"no adapter, three arguments",
       VER_PLATFORM_WIN32_WINDOWS,
       "REGEDIT4\n",
       {"a", "b", "c"},
       "Adapters not found\n"},
      {"Windows 95 keys on NT", VER_PLATFORM_WIN32_NT, testing::windows95Sample, {"0000"}, "Adapters not found\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto machine = makeMachine(row.platformId, row.reg);
    const Result r = runTool(*machine, row.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, row.err);
    EXPECT_FALSE(machine->registry.modified());
  }
}

TEST(RegistryUpdate, FailuresAreReportedAndChangeNothing) {
  struct Row {
    const char* what;
    void (*fault)(sim::RegNode&);
    std::vector<std::string_view> args;
    std::string message;
  };
  const Row rows[] = {
      {"key cannot be opened for writing",
       [](sim::RegNode& n) { n.denyWrite = true; },
       {"0002", "02AABBCCDDEE"},
       "The registry key of the adapter cannot be opened.\n"},
      {"key cannot be opened for a release",
       [](sim::RegNode& n) { n.denyWrite = true; },
       {"0002"},
       "The registry key of the adapter cannot be opened.\n"},
      {"write fails",
       [](sim::RegNode& n) { n.failSetValue = ERROR_ACCESS_DENIED; },
       {"0002", "02AABBCCDDEE"},
       "The Network Address could not be set.\n"},
      {"delete fails",
       [](sim::RegNode& n) { n.failDeleteValue = ERROR_ACCESS_DENIED; },
       {"0002"},
       "The Network Address could not be released.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, testing::windows95Sample);
    row.fault(*machine->registry.find(key0002));
    const Result r = runTool(*machine, row.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, banner + row.message);
    EXPECT_EQ(addressIn(*machine, key0002), std::string("02004C4F4F50\0", 13));
    EXPECT_FALSE(machine->registry.modified());
  }
}

TEST(RegistryUpdate, OpensTheAdapterKeyForWritingOnce) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS, testing::windows95Sample);
  ASSERT_EQ(runTool(*machine, {"0000", "02AABBCCDDEE"}).code, 0);
  std::vector<std::string> writes;
  for (const std::string& call : machine->registry.calls())
    if (call.find("0x20006") != std::string::npos || call.starts_with("RegSetValueExA") ||
        call.starts_with("RegDeleteValueA"))
      writes.push_back(call);
  EXPECT_EQ(writes, (std::vector<std::string>{
                        "RegOpenKeyExA(" + key0000 + ", 0x20006) = 0",
                        "RegSetValueExA(" + key0000 + ", \"NetworkAddress\", 1, 13) = 0",
                    }));
  EXPECT_EQ(machine->registry.calls().back(), "RegCloseKey(" + key0000 + ") = 0");
}

}  // namespace
}  // namespace nicmark
