// The Linux build of the library as a host loads it: process attach runs at
// load on the display of the machine profile named by KIT_MACHINE, and the two
// exports are found by name.
#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "overlay/host_records.h"

namespace {

using DriverProcFn = LRESULT (*)(DWORD_PTR, HANDLE, UINT, LPARAM, LPARAM);
using VpmDriverProcFn = LONG (*)(DWORD, DWORD, ovlport::VpmDriverTable**);

class LibraryLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("ovlport_load_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    if (library != nullptr) dlclose(library);
    unsetenv("KIT_MACHINE");
    std::filesystem::remove_all(folder);
  }

  // Loads a private copy of the library on a notebook with this display, so
  // that each load runs process attach afresh.
  void loadOn(const std::string& display) {
    if (library != nullptr) dlclose(library);
    library = nullptr;
    const auto profile = folder / "machine.toml";
    std::ofstream(profile) << "platform = \"windows95\"\n[display]\n" << display;
    setenv("KIT_MACHINE", profile.c_str(), 1);
    const auto copy = folder / ("libovlport" + std::to_string(++loads) + ".so");
    std::filesystem::copy_file(OVLPORT_LIBRARY, copy);
    library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    driverProc = reinterpret_cast<DriverProcFn>(dlsym(library, "DriverProc"));
    vpmDriverProc = reinterpret_cast<VpmDriverProcFn>(dlsym(library, "vpmDriverProc"));
    ASSERT_NE(driverProc, nullptr);
    ASSERT_NE(vpmDriverProc, nullptr);
  }

  std::filesystem::path folder;
  void* library = nullptr;
  int loads = 0;
  DriverProcFn driverProc = nullptr;
  VpmDriverProcFn vpmDriverProc = nullptr;
};

TEST_F(LibraryLoadTest, SupportedControllerHandsOutTheTable) {
  loadOn("generation = 3\nbits_per_pixel = 16\nwidth = 640\nheight = 480\n");
  EXPECT_EQ(driverProc(0, nullptr, 1, 0, 0), 1);
  ovlport::VpmDriverTable* table = nullptr;
  ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &table), 0);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->queryDriver(table), 2);
  EXPECT_EQ(table->closeDriver(table), 0);
}

TEST_F(LibraryLoadTest, UnsupportedDisplayStillLoads) {
  loadOn("generation = 3\nbits_per_pixel = 32\n");
  ovlport::VpmDriverTable* table = nullptr;
  EXPECT_EQ(vpmDriverProc(0x4001, 0x10100, &table), ovlport::errUnavailable);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(vpmDriverProc(0x4001, 0x10100, nullptr), ovlport::errNullArgument);
}

TEST_F(LibraryLoadTest, BadDisplaySectionLoadsTheDefaultDisplay) {
  // Each profile names generation 2, which offers no overlay; a bad value
  // anywhere in the section leaves the whole section unused, so the library
  // runs on the default display (generation 3, 640 x 480 at 16 bits).
  for (const char* display : {"generation = 2\nbits_per_pixel = 99\n", "generation = 2\nvideo_memory = -1\n",
                              "generation = 2\nvideo_memory = \"2M\"\n",
                              "generation = 2\nvideo_memory = 0x100000000\n"}) {
    SCOPED_TRACE(display);
    loadOn(display);
    ovlport::VpmDriverTable* table = nullptr;
    ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &table), 0);
    EXPECT_EQ(table->queryDriver(table), 2);
  }
  // A good section is taken as it is.
  loadOn("generation = 2\nvideo_memory = 0x200000\n");
  ovlport::VpmDriverTable* table = nullptr;
  EXPECT_EQ(vpmDriverProc(0x4001, 0x10100, &table), ovlport::errUnavailable);
}

}  // namespace
