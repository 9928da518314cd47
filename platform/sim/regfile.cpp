#include "sim/regfile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string with the escapes \\ and \" at the start of s.
bool readQuoted(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '"') return false;
  s.remove_prefix(1);
  out.clear();
  while (!s.empty()) {
    const char c = s.front();
    s.remove_prefix(1);
    if (c == '"') return true;
    if (c == '\\' && !s.empty()) {
      out.push_back(s.front());
      s.remove_prefix(1);
    } else {
      out.push_back(c);
    }
  }
  return false;
}

bool parseHexBytes(std::string_view s, std::vector<BYTE>& out) {
  out.clear();
  s = trim(s);
  while (!s.empty()) {
    const std::size_t comma = s.find(',');
    const std::string_view item = trim(s.substr(0, comma));
    if (item.size() != 2 || hexDigit(item[0]) < 0 || hexDigit(item[1]) < 0) return false;
    out.push_back(static_cast<BYTE>(hexDigit(item[0]) * 16 + hexDigit(item[1])));
    if (comma == std::string_view::npos) break;
    s = s.substr(comma + 1);
  }
  return true;
}

void deleteKey(SimRegistry& registry, std::string_view path) {
  RegNode* node = registry.find(path);
  if (node == nullptr || node->parent == nullptr) return;
  RegNode* parent = node->parent;
  parent->byLowerName.erase(asciiLower(node->name));
  std::erase_if(parent->subkeys, [&](const std::unique_ptr<RegNode>& k) { return k.get() == node; });
}

// Joins continuation lines (a line ending in a backslash goes on in the next).
std::vector<std::pair<int, std::string>> logicalLines(std::string_view text) {
  std::vector<std::pair<int, std::string>> lines;
  std::string current;
  int number = 0, start = 0;
  bool continuing = false;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!continuing) {
      current.clear();
      start = number;
    } else {
      line = trim(line);
    }
    // Only hex values span lines in this format.
    const bool more = !line.empty() && line.back() == '\\' &&
                      (continuing || line.find("=hex") != std::string_view::npos);
    if (more) line.remove_suffix(1);
    current += line;
    continuing = more;
    if (!continuing) lines.emplace_back(start, current);
  }
  if (continuing) lines.emplace_back(start, current);
  return lines;
}

}  // namespace

bool importRegText(SimRegistry& registry, std::string_view text, std::string& error) {
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
    text.remove_prefix(3);
  RegNode* current = nullptr;
  bool header = false;
  for (auto& [number, raw] : logicalLines(text)) {
    const std::string_view line = trim(raw);
    auto fail = [&, n = number](const std::string& what) {
      error = "line " + std::to_string(n) + ": " + what;
      return false;
    };
    if (line.empty() || line.front() == ';') continue;
    if (!header) {
      if (line != "REGEDIT4") return fail("the file must start with REGEDIT4");
      header = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return fail("a key line must end with ]");
      std::string_view path = line.substr(1, line.size() - 2);
      if (!path.empty() && path.front() == '-') {
        deleteKey(registry, path.substr(1));
        current = nullptr;
      } else {
        current = &registry.key(path);
      }
      continue;
    }
    if (current == nullptr) return fail("a value outside of a key");
    std::string_view rest = line;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!readQuoted(rest, name)) {
      return fail("a value name must be quoted");
    }
    rest = trim(rest);
    if (rest.empty() || rest.front() != '=') return fail("expected = after the value name");
    rest = trim(rest.substr(1));
    const std::string path = current->path();
    if (rest == "-") {
      std::erase_if(current->values, [&](const RegValue& v) { return asciiLower(v.name) == asciiLower(name); });
    } else if (!rest.empty() && rest.front() == '"') {
      std::string data;
      if (!readQuoted(rest, data) || !trim(rest).empty()) return fail("bad string value");
      registry.setString(path, name, data);
    } else if (rest.substr(0, 6) == "dword:") {
      const std::string_view digits = rest.substr(6);
      if (digits.empty() || digits.size() > 8) return fail("bad dword value");
      DWORD value = 0;
      for (char c : digits) {
        if (hexDigit(c) < 0) return fail("bad dword value");
        value = value * 16 + static_cast<DWORD>(hexDigit(c));
      }
      registry.setDword(path, name, value);
    } else if (rest.substr(0, 3) == "hex") {
      rest.remove_prefix(3);
      DWORD type = REG_BINARY;
      if (!rest.empty() && rest.front() == '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos) return fail("bad hex type");
        type = 0;
        for (char c : rest.substr(1, close - 1)) {
          if (hexDigit(c) < 0) return fail("bad hex type");
          type = type * 16 + static_cast<DWORD>(hexDigit(c));
        }
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != ':') return fail("expected : after hex");
      std::vector<BYTE> bytes;
      if (!parseHexBytes(rest.substr(1), bytes)) return fail("bad hex bytes");
      registry.setValue(path, name, type, std::move(bytes));
    } else {
      return fail("unknown value form");
    }
  }
  if (!header) {
    error = "the file must start with REGEDIT4";
    return false;
  }
  return true;
}

bool importRegFile(SimRegistry& registry, const std::filesystem::path& file, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file.string();
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!importRegText(registry, text.str(), error)) {
    error = file.string() + ": " + error;
    return false;
  }
  return true;
}

namespace {

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A REG_SZ that holds one text and its terminator is written as a string;
// anything else keeps its exact bytes as hex.
bool plainString(const RegValue& v) {
  if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == 0 || v.data[i] == '\n' || v.data[i] == '\r') return false;
  return true;
}

void writeValue(std::string& out, const RegValue& v) {
  std::string line = v.name.empty() ? "@=" : quote(v.name) + "=";
  if (plainString(v)) {
    line += quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    char text[16];
    const DWORD value = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                        static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
    line += text;
  } else {
    char text[16];
    if (v.type == REG_BINARY) {
      line += "hex:";
    } else {
      std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(v.type));
      line += text;
    }
    for (std::size_t i = 0; i < v.data.size(); ++i) {
      std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(v.data[i]));
      line += text;
      if (i + 1 < v.data.size()) {
        line += ",";
        if (line.size() > 76) {
          out += line + "\\\n";
          line = "  ";
        }
      }
    }
  }
  out += line + "\n";
}

void writeKey(std::string& out, const RegNode& node) {
  if (node.isVolatile) return;
  // A hive is written as a key only when it holds values of its own.
  if (node.parent != nullptr || !node.values.empty()) {
    out += "[" + node.path() + "]\n";
    for (const RegValue& v : node.values) writeValue(out, v);
    out += "\n";
  }
  for (const auto& sub : node.subkeys) writeKey(out, *sub);
}

}  // namespace

std::string exportRegText(const SimRegistry& registry) {
  std::string out = "REGEDIT4\n\n";
  for (const auto& hive : registry.hives()) writeKey(out, *hive);
  return out;
}

bool writeFileAtomically(const std::filesystem::path& named, std::string_view text, std::string& error) {
  // A link is followed, so the file it names is replaced and the link stays;
  // the new file keeps the old one's permissions.
  std::error_code ec;
  const std::filesystem::path file =
      std::filesystem::is_symlink(named, ec) ? std::filesystem::weakly_canonical(named, ec) : named;
  struct stat old {};
  const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  const std::filesystem::path temp = file.string() + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    error = "cannot write " + temp.string();
    return false;
  }
  ::fchmod(fd, mode);
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    error = "cannot write " + file.string();
    return false;
  }
  return true;
}

}  // namespace sim
