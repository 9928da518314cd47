// The simulated notebook's registry: keys and values in memory.
//
// Keys are found without regard to ASCII case, as on Windows; subkeys are
// enumerated in the order the scenario created them; values keep their type
// and bytes.  A test can inject faults per key and sees every call made and
// every handle left open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace sim {

struct RegValue {
  std::string name;  // empty for the default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegNode {
  std::string name;
  RegNode* parent = nullptr;
  std::vector<std::unique_ptr<RegNode>> subkeys;        // enumeration order
  std::unordered_map<std::string, RegNode*> byLowerName;  // lookup
  std::vector<RegValue> values;
  bool isVolatile = false;

  // Faults a scenario can inject.
  bool failOpen = false;         // every open fails with ERROR_ACCESS_DENIED
  bool denyWrite = false;        // opens asking for write access fail
  LONG failSetValue = 0;         // non-zero: RegSetValueExA answers this
  LONG failDeleteValue = 0;      // non-zero: RegDeleteValueA answers this

  RegNode* child(std::string_view name) const;
  RegNode& addChild(std::string_view name);
  RegValue* value(std::string_view name);
  const RegValue* value(std::string_view name) const;
  std::string path() const;  // full path with the hive name
};

std::string asciiLower(std::string_view text);

class SimRegistry : public platform::Registry {
 public:
  SimRegistry();

  // Scenario building.  Paths start with the hive name, as in a .reg file:
  // "HKEY_LOCAL_MACHINE\\System\\...".  Missing keys along the path are made.
  RegNode& key(std::string_view path);
  RegNode* find(std::string_view path) const;
  void setString(std::string_view path, std::string_view name, std::string_view text);
  void setDword(std::string_view path, std::string_view name, DWORD value);
  void setValue(std::string_view path, std::string_view name, DWORD type, std::vector<BYTE> data);
  const RegValue* value(std::string_view path, std::string_view name) const;
  // The value as text up to its first zero byte; nullopt-like empty flag.
  bool stringValue(std::string_view path, std::string_view name, std::string& text) const;

  RegNode& hive(HKEY predefined);
  const std::vector<std::unique_ptr<RegNode>>& hives() const { return hives_; }

  // Books kept for tests.
  int openHandles() const { return static_cast<int>(handles_.size()); }
  bool modified() const { return modified_; }
  void clearModified() { modified_ = false; }
  const std::vector<std::string>& calls() const { return calls_; }

  LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result) override;
  LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                       REGSAM desired, SECURITY_ATTRIBUTES* security, HKEY* result,
                       DWORD* disposition) override;
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                     DWORD* classSize, FILETIME* lastWriteTime) override;
  LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                        DWORD* dataSize) override;
  LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD dataSize) override;
  LONG RegDeleteValueA(HKEY key, const char* valueName) override;
  LONG RegCloseKey(HKEY key) override;

 private:
  struct Handle {
    RegNode* node;
    REGSAM access;
  };
  RegNode* nodeOf(HKEY key, REGSAM* access) const;
  RegNode* walk(RegNode* from, std::string_view subPath, bool create, bool* created);
  HKEY newHandle(RegNode* node, REGSAM access);
  void log(std::string text) { calls_.push_back(std::move(text)); }

  std::vector<std::unique_ptr<RegNode>> hives_;
  std::map<std::uintptr_t, std::unique_ptr<Handle>> handles_;
  std::uintptr_t nextHandle_ = 0x1000;
  bool modified_ = false;
  std::vector<std::string> calls_;
};

}  // namespace sim
