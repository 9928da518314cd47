#include "sim/netbios_sim.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

bool loadFrom(const char* text, sim::SimNetBios& netbios, std::string& error) {
  sim::Machine machine;
  machine.profileFile = "test.toml";
  toml::parse_result parsed = toml::parse(text);
  EXPECT_TRUE(parsed) << text;
  if (!parsed) return false;
  machine.profile = std::move(parsed).table();
  return sim::loadNetBios(machine, netbios, error);
}

TEST(SimNetBiosProfile, ReadsTheLanaTable) {
  sim::SimNetBios netbios;
  std::string error;
  ASSERT_TRUE(loadFrom(R"(
platform = "windows95"
[netbios]
[[netbios.lana]]
number = 0
address = "02:00:4C:4F:4F:50"
[[netbios.lana]]
number = "0x13"
address = "00-a0-c9-00-00-01"
reset = false
[[netbios.lana]]
number = 254
address = "0000000eabcd"
status = false
)",
                       netbios, error))
      << error;
  ASSERT_EQ(netbios.lanas.size(), 3u);
  EXPECT_EQ(netbios.lanas[0].number, 0);
  EXPECT_EQ(netbios.lanas[0].address, (sim::NetworkAddress{0x02, 0x00, 0x4c, 0x4f, 0x4f, 0x50}));
  EXPECT_TRUE(netbios.lanas[0].resetAnswers);
  EXPECT_TRUE(netbios.lanas[0].statusAnswers);
  EXPECT_EQ(netbios.lanas[1].number, 0x13);
  EXPECT_EQ(netbios.lanas[1].address, (sim::NetworkAddress{0x00, 0xa0, 0xc9, 0x00, 0x00, 0x01}));
  EXPECT_FALSE(netbios.lanas[1].resetAnswers);
  EXPECT_TRUE(netbios.lanas[1].statusAnswers);
  EXPECT_EQ(netbios.lanas[2].number, 254);
  EXPECT_FALSE(netbios.lanas[2].statusAnswers);

  EXPECT_TRUE(loadFrom("platform = \"windows95\"\n", netbios, error));
  EXPECT_TRUE(netbios.lanas.empty());
}

TEST(SimNetBiosProfile, RefusesAMalformedSection) {
  const struct {
    const char* profile;
    const char* message;
  } rows[] = {
      {"netbios = 3", "netbios must be a table"},
      {"[netbios]\nlanas = []", "unknown key \"lanas\""},
      {"[netbios]\nlana = 1", "must be a list of tables"},
      {"[[netbios.lana]]\naddress = \"020000000001\"", "number must be a LANA from 0 to 254"},
      {"[[netbios.lana]]\nnumber = 255\naddress = \"020000000001\"", "number must be a LANA"},
      {"[[netbios.lana]]\nnumber = -1\naddress = \"020000000001\"", "number must be a LANA"},
      {"[[netbios.lana]]\nnumber = 0", "address must be six octets"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"02000000001\"", "address must be six octets"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"0200000000012\"", "address must be six octets"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"02:00:00:00:00:0g\"", "address must be six octets"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"02::00:00:00:00:01\"", "address must be six octets"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"020000000001\"\nreset = 1", "reset must be true or false"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"020000000001\"\nstatus = \"yes\"", "status must be true or false"},
      {"[[netbios.lana]]\nnumber = 0\naddress = \"020000000001\"\nadress = \"x\"", "unknown key \"adress\""},
      {"[[netbios.lana]]\nnumber = 2\naddress = \"020000000001\"\n[[netbios.lana]]\nnumber = 2\naddress = "
       "\"020000000002\"",
       "LANA 2 is listed twice"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.profile);
    sim::SimNetBios netbios;
    std::string error;
    EXPECT_FALSE(loadFrom(row.profile, netbios, error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
    EXPECT_EQ(error.rfind("test.toml: netbios", 0), 0u) << error;
  }
}

sim::SimNetBios oneAdapter(bool reset = true, bool status = true) {
  sim::SimNetBios netbios;
  sim::SimLana lana;
  lana.number = 1;
  lana.address = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  lana.resetAnswers = reset;
  lana.statusAnswers = status;
  netbios.lanas.push_back(lana);
  return netbios;
}

UCHAR send(sim::SimNetBios& netbios, UCHAR command, UCHAR lana, UCHAR* buffer = nullptr, WORD length = 0,
           UCHAR firstNameByte = '*') {
  NCB ncb{};
  ncb.ncb_command = command;
  ncb.ncb_lana_num = lana;
  ncb.ncb_buffer = buffer;
  ncb.ncb_length = length;
  ncb.ncb_callname[0] = firstNameByte;
  const UCHAR result = netbios.Netbios(&ncb);
  EXPECT_EQ(ncb.ncb_retcode, result);
  return result;
}

TEST(SimNetBios, AnswersAsItsTableSays) {
  std::array<UCHAR, 80> buffer;
  auto netbios = oneAdapter();
  EXPECT_EQ(send(netbios, NCBRESET, 1), NRC_GOODRET);
  EXPECT_EQ(send(netbios, NCBRESET, 0), NRC_BRIDGE);
  EXPECT_EQ(send(netbios, NCBASTAT, 0, buffer.data(), 80), NRC_BRIDGE);
  EXPECT_EQ(send(netbios, 0x7f, 1), NRC_ILLCMD);
  EXPECT_EQ(send(netbios, NCBRESET | ASYNCH, 1), NRC_ILLCMD);
  EXPECT_EQ(send(netbios, NCBASTAT, 1, buffer.data(), 80, 'X'), NRC_CMDTMO);  // a remote name
  EXPECT_EQ(send(netbios, NCBASTAT, 1, nullptr, 80), NRC_BADDR);

  // A local status fills the 60-byte record and leaves the rest alone.
  buffer.fill(0xEE);
  EXPECT_EQ(send(netbios, NCBASTAT, 1, buffer.data(), 80), NRC_GOODRET);
  EXPECT_EQ((std::array<UCHAR, 6>{buffer[0], buffer[1], buffer[2], buffer[3], buffer[4], buffer[5]}),
            (std::array<UCHAR, 6>{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
  EXPECT_TRUE(std::all_of(buffer.begin() + 6, buffer.begin() + 60, [](UCHAR b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(buffer.begin() + 60, buffer.end(), [](UCHAR b) { return b == 0xEE; }));

  // A buffer too small for the record gets what fits, and no more.
  buffer.fill(0xEE);
  EXPECT_EQ(send(netbios, NCBASTAT, 1, buffer.data(), 4), NRC_INCOMP);
  EXPECT_EQ(buffer[3], 0x33);
  EXPECT_EQ(buffer[4], 0xEE);

  ASSERT_EQ(netbios.calls.size(), 9u);
  EXPECT_EQ(netbios.calls[0], (sim::NetBiosCall{NCBRESET, 1, 0, {'*'}, false, true}));
  EXPECT_EQ(netbios.calls[2], (sim::NetBiosCall{NCBASTAT, 0, 80, {'*'}, true, true}));
  EXPECT_EQ(netbios.calls[5], (sim::NetBiosCall{NCBASTAT, 1, 80, {'X'}, true, true}));
}

TEST(SimNetBios, RecordsAControlBlockThatWasNotCleared) {
  auto netbios = oneAdapter();
  NCB ncb{};
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = 1;
  ncb.ncb_rto = 5;
  netbios.Netbios(&ncb);
  ASSERT_EQ(netbios.calls.size(), 1u);
  EXPECT_FALSE(netbios.calls[0].othersZero);
}

TEST(SimNetBios, FailsWhereTheTableSaysItDoesNotAnswer) {
  std::array<UCHAR, 600> buffer{};
  auto noReset = oneAdapter(false, true);
  EXPECT_NE(send(noReset, NCBRESET, 1), NRC_GOODRET);
  auto noStatus = oneAdapter(true, false);
  EXPECT_EQ(send(noStatus, NCBRESET, 1), NRC_GOODRET);
  EXPECT_EQ(send(noStatus, NCBASTAT, 1, buffer.data(), 600), NRC_ENVNOTDEF);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](UCHAR b) { return b == 0; }));
}

}  // namespace
