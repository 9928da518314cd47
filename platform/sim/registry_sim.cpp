#include "sim/registry_sim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr std::uintptr_t kCurrentUser = 0x80000001u;
constexpr std::uintptr_t kLocalMachine = 0x80000002u;

std::string hexCode(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

std::string_view nameOrDefault(const char* name) { return name == nullptr ? std::string_view{} : name; }

}  // namespace

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

RegNode* RegNode::child(std::string_view childName) const {
  auto it = byLowerName.find(asciiLower(childName));
  return it == byLowerName.end() ? nullptr : it->second;
}

RegNode& RegNode::addChild(std::string_view childName) {
  if (RegNode* existing = child(childName)) return *existing;
  auto node = std::make_unique<RegNode>();
  node->name = std::string(childName);
  node->parent = this;
  RegNode& ref = *node;
  byLowerName.emplace(asciiLower(childName), &ref);
  subkeys.push_back(std::move(node));
  return ref;
}

RegValue* RegNode::value(std::string_view valueName) {
  const std::string lower = asciiLower(valueName);
  for (RegValue& v : values)
    if (asciiLower(v.name) == lower) return &v;
  return nullptr;
}

const RegValue* RegNode::value(std::string_view valueName) const {
  return const_cast<RegNode*>(this)->value(valueName);
}

std::string RegNode::path() const {
  if (parent == nullptr) return name;
  return parent->path() + "\\" + name;
}

SimRegistry::SimRegistry() {
  for (const char* name : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
    auto node = std::make_unique<RegNode>();
    node->name = name;
    hives_.push_back(std::move(node));
  }
}

RegNode& SimRegistry::hive(HKEY predefined) {
  const auto id = reinterpret_cast<std::uintptr_t>(predefined);
  return *hives_[id == kCurrentUser ? 0 : 1];
}

RegNode* SimRegistry::walk(RegNode* from, std::string_view subPath, bool create, bool* created) {
  RegNode* node = from;
  while (!subPath.empty()) {
    const std::size_t cut = subPath.find('\\');
    const std::string_view part = subPath.substr(0, cut);
    subPath = cut == std::string_view::npos ? std::string_view{} : subPath.substr(cut + 1);
    if (part.empty()) continue;
    RegNode* next = node->child(part);
    if (next == nullptr) {
      if (!create) return nullptr;
      next = &node->addChild(part);
      if (created != nullptr) *created = true;
    }
    node = next;
  }
  return node;
}

static std::pair<std::string_view, std::string_view> splitHive(std::string_view path) {
  const std::size_t cut = path.find('\\');
  if (cut == std::string_view::npos) return {path, {}};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

RegNode& SimRegistry::key(std::string_view path) {
  auto [hiveName, rest] = splitHive(path);
  for (auto& h : hives_)
    if (asciiLower(h->name) == asciiLower(hiveName)) return *walk(h.get(), rest, true, nullptr);
  auto node = std::make_unique<RegNode>();
  node->name = std::string(hiveName);
  hives_.push_back(std::move(node));
  return *walk(hives_.back().get(), rest, true, nullptr);
}

RegNode* SimRegistry::find(std::string_view path) const {
  auto [hiveName, rest] = splitHive(path);
  for (auto& h : hives_)
    if (asciiLower(h->name) == asciiLower(hiveName))
      return const_cast<SimRegistry*>(this)->walk(h.get(), rest, false, nullptr);
  return nullptr;
}

void SimRegistry::setValue(std::string_view path, std::string_view name, DWORD type, std::vector<BYTE> data) {
  RegNode& node = key(path);
  if (RegValue* v = node.value(name)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  node.values.push_back(RegValue{std::string(name), type, std::move(data)});
}

void SimRegistry::setString(std::string_view path, std::string_view name, std::string_view text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  setValue(path, name, REG_SZ, std::move(data));
}

void SimRegistry::setDword(std::string_view path, std::string_view name, DWORD value) {
  setValue(path, name, REG_DWORD,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
}

const RegValue* SimRegistry::value(std::string_view path, std::string_view name) const {
  const RegNode* node = find(path);
  return node == nullptr ? nullptr : node->value(name);
}

bool SimRegistry::stringValue(std::string_view path, std::string_view name, std::string& text) const {
  const RegValue* v = value(path, name);
  if (v == nullptr) return false;
  const auto end = std::find(v->data.begin(), v->data.end(), BYTE{0});
  text.assign(v->data.begin(), end);
  return true;
}

RegNode* SimRegistry::nodeOf(HKEY key, REGSAM* access) const {
  const auto id = reinterpret_cast<std::uintptr_t>(key);
  if (id == kCurrentUser || id == kLocalMachine) {
    if (access != nullptr) *access = KEY_ALL_ACCESS;
    return hives_[id == kCurrentUser ? 0 : 1].get();
  }
  auto it = handles_.find(id);
  if (it == handles_.end()) return nullptr;
  if (access != nullptr) *access = it->second->access;
  return it->second->node;
}

HKEY SimRegistry::newHandle(RegNode* node, REGSAM access) {
  const std::uintptr_t id = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(id, std::make_unique<Handle>(Handle{node, access}));
  return reinterpret_cast<HKEY>(id);
}

static bool wantsWrite(REGSAM access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

LONG SimRegistry::RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM desired, HKEY* result) {
  RegNode* base = nodeOf(key, nullptr);
  const std::string_view sub = nameOrDefault(subKey);
  LONG rc = ERROR_SUCCESS;
  RegNode* node = base == nullptr ? nullptr : walk(base, sub, false, nullptr);
  if (base == nullptr)
    rc = ERROR_INVALID_HANDLE;
  else if (node == nullptr)
    rc = ERROR_FILE_NOT_FOUND;
  else if (node->failOpen || (node->denyWrite && wantsWrite(desired)))
    rc = ERROR_ACCESS_DENIED;
  if (rc == ERROR_SUCCESS) *result = newHandle(node, desired);
  log("RegOpenKeyExA(" + (base ? base->path() : std::string("?")) + (sub.empty() ? "" : "\\") +
      std::string(sub) + ", " + hexCode(desired) + ") = " + std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD options, REGSAM desired,
                                  SECURITY_ATTRIBUTES*, HKEY* result, DWORD* disposition) {
  RegNode* base = nodeOf(key, nullptr);
  const std::string_view sub = nameOrDefault(subKey);
  LONG rc = ERROR_SUCCESS;
  if (base == nullptr) {
    rc = ERROR_INVALID_HANDLE;
  } else {
    // A volatile key accepts only volatile subkeys; check before creating.
    RegNode* node = base;
    std::string_view rest = sub;
    bool wouldCreate = false;
    while (!rest.empty()) {
      const std::size_t cut = rest.find('\\');
      const std::string_view part = rest.substr(0, cut);
      rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
      if (part.empty()) continue;
      RegNode* next = node->child(part);
      if (next == nullptr) {
        wouldCreate = true;
        if (node->isVolatile && options != REG_OPTION_VOLATILE) rc = ERROR_CHILD_MUST_BE_VOLATILE;
        break;
      }
      node = next;
    }
    if (rc == ERROR_SUCCESS && !wouldCreate && (node->failOpen || (node->denyWrite && wantsWrite(desired))))
      rc = ERROR_ACCESS_DENIED;
    if (rc == ERROR_SUCCESS) {
      bool created = false;
      RegNode* before = base;
      node = walk(before, sub, false, nullptr);
      if (node == nullptr) {
        // Create the missing part of the path, marking new keys volatile when asked.
        node = base;
        rest = sub;
        while (!rest.empty()) {
          const std::size_t cut = rest.find('\\');
          const std::string_view part = rest.substr(0, cut);
          rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
          if (part.empty()) continue;
          RegNode* next = node->child(part);
          if (next == nullptr) {
            next = &node->addChild(part);
            next->isVolatile = options == REG_OPTION_VOLATILE;
            created = true;
          }
          node = next;
        }
        modified_ = true;
      }
      if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
      *result = newHandle(node, desired);
    }
  }
  log("RegCreateKeyExA(" + (base ? base->path() : std::string("?")) + (sub.empty() ? "" : "\\") +
      std::string(sub) + ", " + hexCode(options) + ", " + hexCode(desired) + ") = " + std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char*, DWORD*,
                                FILETIME* lastWriteTime) {
  REGSAM access = 0;
  RegNode* node = nodeOf(key, &access);
  LONG rc = ERROR_SUCCESS;
  if (node == nullptr) {
    rc = ERROR_INVALID_HANDLE;
  } else if ((access & KEY_ENUMERATE_SUB_KEYS) == 0) {
    rc = ERROR_ACCESS_DENIED;
  } else if (index >= node->subkeys.size()) {
    rc = ERROR_NO_MORE_ITEMS;
  } else {
    const std::string& sub = node->subkeys[index]->name;
    if (name == nullptr || nameSize == nullptr || sub.size() + 1 > *nameSize) {
      rc = ERROR_MORE_DATA;
    } else {
      std::memcpy(name, sub.c_str(), sub.size() + 1);
      *nameSize = static_cast<DWORD>(sub.size());
      if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{0, 0};
    }
  }
  log("RegEnumKeyExA(" + (node ? node->path() : std::string("?")) + ", " + std::to_string(index) + ") = " +
      std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                                   DWORD* dataSize) {
  REGSAM access = 0;
  RegNode* node = nodeOf(key, &access);
  const std::string_view vname = nameOrDefault(valueName);
  LONG rc = ERROR_SUCCESS;
  const RegValue* v = node == nullptr ? nullptr : node->value(vname);
  if (node == nullptr) {
    rc = ERROR_INVALID_HANDLE;
  } else if ((access & KEY_QUERY_VALUE) == 0) {
    rc = ERROR_ACCESS_DENIED;
  } else if (v == nullptr) {
    rc = ERROR_FILE_NOT_FOUND;
  } else {
    const auto size = static_cast<DWORD>(v->data.size());
    if (type != nullptr) *type = v->type;
    if (data != nullptr) {
      if (dataSize == nullptr) {
        rc = ERROR_INVALID_PARAMETER;
      } else if (*dataSize < size) {
        rc = ERROR_MORE_DATA;
      } else if (size > 0) {
        std::memcpy(data, v->data.data(), size);
      }
    }
    if (dataSize != nullptr && rc != ERROR_INVALID_PARAMETER) *dataSize = size;
  }
  log("RegQueryValueExA(" + (node ? node->path() : std::string("?")) + ", \"" + std::string(vname) + "\") = " +
      std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                                 DWORD dataSize) {
  REGSAM access = 0;
  RegNode* node = nodeOf(key, &access);
  const std::string_view vname = nameOrDefault(valueName);
  LONG rc = ERROR_SUCCESS;
  if (node == nullptr)
    rc = ERROR_INVALID_HANDLE;
  else if ((access & KEY_SET_VALUE) == 0)
    rc = ERROR_ACCESS_DENIED;
  else if (node->failSetValue != 0)
    rc = node->failSetValue;
  else if (data == nullptr && dataSize != 0)
    rc = ERROR_INVALID_PARAMETER;
  if (rc == ERROR_SUCCESS) {
    std::vector<BYTE> bytes;
    if (dataSize > 0) bytes.assign(data, data + dataSize);
    if (RegValue* v = node->value(vname)) {
      v->type = type;
      v->data = std::move(bytes);
    } else {
      node->values.push_back(RegValue{std::string(vname), type, std::move(bytes)});
    }
    modified_ = true;
  }
  log("RegSetValueExA(" + (node ? node->path() : std::string("?")) + ", \"" + std::string(vname) + "\", " +
      std::to_string(type) + ", " + std::to_string(dataSize) + ") = " + std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegDeleteValueA(HKEY key, const char* valueName) {
  REGSAM access = 0;
  RegNode* node = nodeOf(key, &access);
  const std::string_view vname = nameOrDefault(valueName);
  LONG rc = ERROR_SUCCESS;
  if (node == nullptr) {
    rc = ERROR_INVALID_HANDLE;
  } else if ((access & KEY_SET_VALUE) == 0) {
    rc = ERROR_ACCESS_DENIED;
  } else if (node->failDeleteValue != 0) {
    rc = node->failDeleteValue;
  } else {
    const std::string lower = asciiLower(vname);
    auto it = std::find_if(node->values.begin(), node->values.end(),
                           [&](const RegValue& v) { return asciiLower(v.name) == lower; });
    if (it == node->values.end()) {
      rc = ERROR_FILE_NOT_FOUND;
    } else {
      node->values.erase(it);
      modified_ = true;
    }
  }
  log("RegDeleteValueA(" + (node ? node->path() : std::string("?")) + ", \"" + std::string(vname) + "\") = " +
      std::to_string(rc));
  return rc;
}

LONG SimRegistry::RegCloseKey(HKEY key) {
  const auto id = reinterpret_cast<std::uintptr_t>(key);
  LONG rc = ERROR_SUCCESS;
  auto it = handles_.find(id);
  std::string path = "?";
  if (it == handles_.end()) {
    rc = ERROR_INVALID_HANDLE;
  } else {
    path = it->second->node->path();
    handles_.erase(it);
  }
  log("RegCloseKey(" + path + ") = " + std::to_string(rc));
  return rc;
}

}  // namespace sim
