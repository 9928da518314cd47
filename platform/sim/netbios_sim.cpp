#include "sim/netbios_sim.h"

#include <algorithm>
#include <cstring>

#include "posix/host_interfaces.h"

namespace sim {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

UCHAR adapterStatus(const SimLana& lana, NCB& ncb) {
  // An adapter with nothing behind it (a dial-up adapter with no call made)
  // answers its reset but reports its environment undefined on a status.
  if (!lana.statusAnswers) return NRC_ENVNOTDEF;
  // Only the local adapter's status is known here: no remote name answers.
  if (ncb.ncb_callname[0] != '*') return NRC_CMDTMO;
  if (ncb.ncb_buffer == nullptr) return NRC_BADDR;
  std::array<UCHAR, kAdapterStatusSize> record{};
  std::copy(lana.address.begin(), lana.address.end(), record.begin());
  const WORD copied = std::min(ncb.ncb_length, kAdapterStatusSize);
  std::memcpy(ncb.ncb_buffer, record.data(), copied);
  const bool complete = ncb.ncb_length >= kAdapterStatusSize;
  ncb.ncb_length = copied;
  return complete ? NRC_GOODRET : NRC_INCOMP;
}

// True when the fields a caller does not set for a reset or a status are
// zero, as in a control block cleared before use.
bool otherFieldsZero(const NCB& ncb) {
  const auto zero = [](const auto& field) {
    return std::all_of(std::begin(field), std::end(field), [](UCHAR b) { return b == 0; });
  };
  return ncb.ncb_retcode == 0 && ncb.ncb_lsn == 0 && ncb.ncb_num == 0 && zero(ncb.ncb_name) && ncb.ncb_rto == 0 &&
         ncb.ncb_sto == 0 && ncb.ncb_post == nullptr && ncb.ncb_cmd_cplt == 0 && zero(ncb.ncb_reserve) &&
         ncb.ncb_event == nullptr;
}

}  // namespace

const SimLana* SimNetBios::find(UCHAR number) const {
  for (const SimLana& lana : lanas)
    if (lana.number == number) return &lana;
  return nullptr;
}

UCHAR SimNetBios::Netbios(NCB* ncb) {
  if (ncb == nullptr) return NRC_BADDR;
  NetBiosCall call;
  call.command = ncb->ncb_command;
  call.lana = ncb->ncb_lana_num;
  call.length = ncb->ncb_length;
  std::copy(std::begin(ncb->ncb_callname), std::end(ncb->ncb_callname), call.callname.begin());
  call.buffer = ncb->ncb_buffer != nullptr;
  call.othersZero = otherFieldsZero(*ncb);
  calls.push_back(call);

  UCHAR result = NRC_GOODRET;
  const SimLana* lana = find(ncb->ncb_lana_num);
  if ((ncb->ncb_command & ASYNCH) != 0) {
    result = NRC_ILLCMD;  // commands complete before the call returns here
  } else if (ncb->ncb_command != NCBRESET && ncb->ncb_command != NCBASTAT) {
    result = NRC_ILLCMD;
  } else if (lana == nullptr) {
    result = NRC_BRIDGE;
  } else if (ncb->ncb_command == NCBRESET) {
    result = lana->resetAnswers ? NRC_GOODRET : NRC_SYSTEM;
  } else {
    result = adapterStatus(*lana, *ncb);
  }
  ncb->ncb_retcode = result;
  ncb->ncb_cmd_cplt = result;
  return result;
}

bool parseNetworkAddress(std::string_view text, NetworkAddress& address) {
  std::size_t at = 0;
  for (std::size_t octet = 0; octet < address.size(); ++octet) {
    if (octet > 0 && at < text.size() && (text[at] == ':' || text[at] == '-')) ++at;
    if (at + 2 > text.size()) return false;
    const int high = hexDigit(text[at]);
    const int low = hexDigit(text[at + 1]);
    if (high < 0 || low < 0) return false;
    address[octet] = static_cast<UCHAR>(high * 16 + low);
    at += 2;
  }
  return at == text.size();
}

bool loadNetBios(const Machine& machine, SimNetBios& netbios, std::string& error) {
  netbios.lanas.clear();
  const std::string where = machine.profileFile.string() + ": netbios";
  const toml::node* section = machine.profile.get("netbios");
  if (section == nullptr) return true;
  const toml::table* table = section->as_table();
  if (table == nullptr) {
    error = where + " must be a table";
    return false;
  }
  for (const auto& [key, node] : *table) {
    if (key.str() != "lana") {
      error = where + ": unknown key \"" + std::string(key.str()) + "\"";
      return false;
    }
  }
  const toml::node* entries = table->get("lana");
  if (entries == nullptr) return true;
  const toml::array* list = entries->as_array();
  if (list == nullptr) {
    error = where + ".lana must be a list of tables ([[netbios.lana]])";
    return false;
  }
  for (std::size_t i = 0; i < list->size(); ++i) {
    const std::string entryWhere = where + ".lana[" + std::to_string(i) + "]";
    const toml::table* entry = (*list)[i].as_table();
    if (entry == nullptr) {
      error = entryWhere + " must be a table";
      return false;
    }
    for (const auto& [key, node] : *entry) {
      const std::string_view name = key.str();
      if (name != "number" && name != "address" && name != "reset" && name != "status") {
        error = entryWhere + ": unknown key \"" + std::string(name) + "\"";
        return false;
      }
    }
    SimLana lana;
    long long number = -1;
    if (!profileInteger(entry->get("number"), number) || number < 0 || number > MAX_LANA) {
      error = entryWhere + ": number must be a LANA from 0 to 254";
      return false;
    }
    lana.number = static_cast<UCHAR>(number);
    const auto address = (*entry)["address"].value<std::string>();
    if (!address || !parseNetworkAddress(*address, lana.address)) {
      error = entryWhere + ": address must be six octets in hexadecimal, like \"02:00:4c:4f:4f:50\"";
      return false;
    }
    for (const auto& [name, flag] :
         {std::pair{"reset", &lana.resetAnswers}, std::pair{"status", &lana.statusAnswers}}) {
      const toml::node* node = entry->get(name);
      if (node == nullptr) continue;
      const auto value = node->value<bool>();
      if (!value || !node->is_boolean()) {
        error = entryWhere + ": " + name + " must be true or false";
        return false;
      }
      *flag = *value;
    }
    for (const SimLana& other : netbios.lanas) {
      if (other.number == lana.number) {
        error = entryWhere + ": LANA " + std::to_string(number) + " is listed twice";
        return false;
      }
    }
    netbios.lanas.push_back(lana);
  }
  return true;
}

bool loadHostNetBios(SimNetBios& netbios, std::string& error) {
  netbios.lanas.clear();
  std::vector<posix::HostInterface> interfaces;
  if (!posix::readHostInterfaces(interfaces, error)) return false;
  const std::vector<posix::HostInterface> bound = posix::netbiosInterfaces(interfaces);
  for (std::size_t n = 0; n < bound.size() && n <= static_cast<std::size_t>(MAX_LANA); ++n) {
    SimLana lana;
    lana.number = static_cast<UCHAR>(n);
    std::copy_n(bound[n].hardwareAddress.begin(), lana.address.size(), lana.address.begin());
    lana.interfaceName = bound[n].name;
    netbios.lanas.push_back(lana);
  }
  return true;
}

}  // namespace sim
