#include "sim/registry_sim.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kNet = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Net";

TEST(SimRegistry, KeysAreFoundWithoutRegardToCaseAndEnumeratedInScenarioOrder) {
  sim::SimRegistry reg;
  reg.key(std::string(kNet) + "\\0002");
  reg.key(std::string(kNet) + "\\0000");
  HKEY key = nullptr;
  ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\currentcontrolset\\SERVICES\\class\\net", 0, KEY_READ,
                              &key),
            ERROR_SUCCESS);
  char name[8];
  DWORD size = sizeof name;
  ASSERT_EQ(reg.RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "0002");
  EXPECT_EQ(size, 4u);
  size = 4;  // no room for the terminator
  EXPECT_EQ(reg.RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = sizeof name;
  EXPECT_EQ(reg.RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(reg.openHandles(), 1);
  EXPECT_EQ(reg.RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(reg.openHandles(), 0);
  EXPECT_EQ(reg.RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST(SimRegistry, QueryReportsSizesAndLeavesAShortBufferUntouched) {
  sim::SimRegistry reg;
  reg.setString(kNet, "DriverDesc", "abcdef");
  HKEY key = nullptr;
  ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\Net", 0, KEY_READ,
                              &key),
            ERROR_SUCCESS);
  BYTE data[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  DWORD type = 0, size = 6;
  EXPECT_EQ(reg.RegQueryValueExA(key, "driverdesc", nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(data[0], 'x');
  size = sizeof data;
  EXPECT_EQ(reg.RegQueryValueExA(key, "DriverDesc", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 7u);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "abcdef");
  EXPECT_EQ(reg.RegQueryValueExA(key, "Missing", nullptr, &type, data, &size), ERROR_FILE_NOT_FOUND);
  // A read-only handle cannot change values.
  const BYTE one[] = {'1', 0};
  EXPECT_EQ(reg.RegSetValueExA(key, "X", 0, REG_SZ, one, 2), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(reg.modified());
  reg.RegCloseKey(key);
}

TEST(SimRegistry, InjectedFaultsAnswerAsTheScenarioSays) {
  sim::SimRegistry reg;
  sim::RegNode& node = reg.key(std::string(kNet) + "\\0000");
  node.denyWrite = true;
  HKEY key = nullptr;
  const char* path = "System\\CurrentControlSet\\Services\\Class\\Net\\0000";
  EXPECT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key), ERROR_ACCESS_DENIED);
  ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS);
  reg.RegCloseKey(key);
  node.denyWrite = false;
  node.failSetValue = ERROR_ACCESS_DENIED;
  node.failDeleteValue = ERROR_ACCESS_DENIED;
  ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const BYTE text[] = "02AABBCCDDEE";
  EXPECT_EQ(reg.RegSetValueExA(key, "NetworkAddress", 0, REG_SZ, text, 13), ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.RegDeleteValueA(key, "NetworkAddress"), ERROR_ACCESS_DENIED);
  node.failSetValue = 0;
  node.failDeleteValue = 0;
  EXPECT_EQ(reg.RegSetValueExA(key, "NetworkAddress", 0, REG_SZ, text, 13), ERROR_SUCCESS);
  EXPECT_EQ(reg.RegDeleteValueA(key, "networkaddress"), ERROR_SUCCESS);
  EXPECT_EQ(reg.RegDeleteValueA(key, "NetworkAddress"), ERROR_FILE_NOT_FOUND);
  reg.RegCloseKey(key);
  node.failOpen = true;
  EXPECT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(reg.openHandles(), 0);
}

TEST(SimRegistry, CreateKeyReportsTheDispositionAndKeepsVolatileKeysVolatile) {
  sim::SimRegistry reg;
  const char* path = "System\\CurrentControlSet\\Services\\VxD\\HUB\\Install";
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(reg.RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                                &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  reg.RegCloseKey(key);
  ASSERT_EQ(reg.RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                                &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  reg.RegCloseKey(key);
  EXPECT_TRUE(reg.find("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD")->isVolatile);
  EXPECT_EQ(reg.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VxD\\Other", 0,
                                nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition),
            ERROR_CHILD_MUST_BE_VOLATILE);
  EXPECT_EQ(reg.openHandles(), 0);
}

TEST(SimRegistry, EnumeratingManySubkeysTakesLinearTime) {
  sim::SimRegistry reg;
  sim::RegNode& net = reg.key(kNet);
  for (int i = 0; i < 20000; ++i) net.addChild(std::to_string(i));
  HKEY key = nullptr;
  ASSERT_EQ(reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\Net", 0, KEY_READ,
                              &key),
            ERROR_SUCCESS);
  char name[32];
  DWORD index = 0;
  for (;; ++index) {
    DWORD size = sizeof name;
    if (reg.RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
  }
  EXPECT_EQ(index, 20000u);
  EXPECT_STREQ(name, "19999");
  reg.RegCloseKey(key);
}

}  // namespace
