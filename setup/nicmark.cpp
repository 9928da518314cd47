#include "nicmark.h"

#include <algorithm>
#include <cstring>

#include "messages_ja_cp932.h"

namespace nicmark {

namespace {

struct MessagePair {
  std::string_view japanese;
  std::string_view english;
};

// Indexed by Message.
constexpr std::array<MessagePair, 12> messagePairs{{
    {ja::adaptersNotFound, "Adapters not found\n"},
    {ja::listHeader, "  No.  :Adapter  Network Address\n"},
    {ja::adapterPrompt, "\nSelect the number of adapter.(0 :Cancel) "},
    {ja::operationMenu,
     "\n0 :Exit\n1 :Setting of Network Address\n2 :Release of Network Address\n\nSelect the number. "},
    {ja::addressPrompt, "Input the Network Address. "},
    {ja::malformedAddress, "\nThe specification of the Network Address is wrong.\n"},
    {ja::adapterNameWrong, "The specification of the adapter name is wrong.\n"},
    {ja::valueDeleted, "The Network Address was released.\nPlease reactivate the system.\n"},
    {ja::valueWritten, "The Network Address was set. \nPlease reactivate the system. \n"},
    {ja::keyNotOpened, "The registry key of the adapter cannot be opened.\n"},
    {ja::valueNotSet, "The Network Address could not be set.\n"},
    {ja::valueNotReleased, "The Network Address could not be released.\n"},
}};
static_assert(static_cast<std::size_t>(Message::valueNotReleased) + 1 == messagePairs.size());

enum class Operation { release, set };

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Writes or deletes NetworkAddress in the chosen adapter's own key.
int updateRegistry(Session& session, platform::Registry& registry, const AdapterList& list, const AdapterEntry& entry,
                   Operation operation) {
  session.lineBuffer.assign(list.profile.adapterKeyPrefix);
  session.lineBuffer += entry.name;
  if (list.platformCode == platformWindowsNt) session.lineBuffer += "\\Parameters";

  platform::RegKey key(registry);
  if (openKey(registry, HKEY_LOCAL_MACHINE, session.lineBuffer.c_str(), KEY_WRITE, key) != ERROR_SUCCESS) {
    say(session, Message::keyNotOpened);
    return exitFailed;
  }
  if (operation == Operation::release) {
    // A value that is not there is as released as a deleted one.
    const LONG rc = registry.RegDeleteValueA(key.get(), networkAddressValue);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
      say(session, Message::valueNotReleased);
      return exitFailed;
    }
    say(session, Message::valueDeleted);
  } else {
    const LONG rc = registry.RegSetValueExA(key.get(), networkAddressValue, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(session.addressText.data()),
                                            static_cast<DWORD>(session.addressText.size()));
    if (rc != ERROR_SUCCESS) {
      say(session, Message::valueNotSet);
      return exitFailed;
    }
    say(session, Message::valueWritten);
  }
  return exitDone;
}

void keepAddress(Session& session, std::string_view text) {
  session.addressText.fill('\0');
  std::memcpy(session.addressText.data(), text.data(), std::min(text.size(), session.addressText.size() - 1));
}

int interactive(Session& session, platform::Registry& registry, const AdapterList& list) {
  say(session, Message::listHeader);
  for (int i = 0; i < list.adapterCount; ++i) {
    const AdapterEntry& entry = list.adapterTable[static_cast<std::size_t>(i)];
    session.console.writeErr(platform::format(rowFormat, i + 1, entry.name, entry.address));
  }

  // The end of input counts as the answer 0 at the adapter prompt and the menu.
  int chosen = 0;
  if (list.adapterCount > 1) {
    for (;;) {
      say(session, Message::adapterPrompt);
      if (!session.console.readLine(session.lineBuffer)) return exitDone;
      const std::int32_t answer = leadingNumber(session.lineBuffer);
      if (answer == 0) return exitDone;
      if (answer >= 1 && answer <= list.adapterCount) {
        chosen = answer - 1;
        break;
      }
    }
  }

  Operation operation = Operation::release;
  for (;;) {
    say(session, Message::operationMenu);
    if (!session.console.readLine(session.lineBuffer)) return exitDone;
    const std::int32_t answer = leadingNumber(session.lineBuffer);
    if (answer == 0) return exitDone;
    if (answer == 1 || answer == 2) {
      operation = answer == 1 ? Operation::set : Operation::release;
      break;
    }
  }

  if (operation == Operation::set) {
    for (;;) {
      say(session, Message::addressPrompt);
      // The address prompt has no cancel answer: the end of input ends the
      // tool with nothing changed.
      if (!session.console.readLine(session.lineBuffer)) return exitFailed;
      if (checkAddressSyntax(session, session.lineBuffer) == 1) break;
    }
    keepAddress(session, session.lineBuffer);
  }
  return updateRegistry(session, registry, list, list.adapterTable[static_cast<std::size_t>(chosen)], operation);
}

int commandLine(Session& session, platform::Registry& registry, const AdapterList& list,
                std::span<const std::string_view> args) {
  const AdapterEntry* entry = nullptr;
  for (int i = 0; i < list.adapterCount && entry == nullptr; ++i)
    if (equalsIgnoringCase(list.adapterTable[static_cast<std::size_t>(i)].name, args[0]))
      entry = &list.adapterTable[static_cast<std::size_t>(i)];
  if (entry == nullptr) {
    say(session, Message::adapterNameWrong);
    return exitFailed;
  }
  Operation operation = Operation::release;
  if (args.size() == 2) {
    if (checkAddressSyntax(session, args[1]) == 0) return exitFailed;
    keepAddress(session, args[1]);
    operation = Operation::set;
  }
  return updateRegistry(session, registry, list, *entry, operation);
}

}  // namespace

std::string_view messageText(std::uint8_t useJapanese, Message message) {
  const MessagePair& pair = messagePairs[static_cast<std::size_t>(message)];
  return useJapanese != 0 ? pair.japanese : pair.english;
}

void say(Session& session, Message message) { session.console.writeErr(messageText(session.useJapanese, message)); }

int checkAddressSyntax(Session& session, std::string_view text) {
  // The second digit is the low half of the first octet: 2, 6, A or E set the
  // locally administered bit and leave the group bit clear.
  const bool valid = text.size() == 12 && std::all_of(text.begin(), text.end(), isHexDigit) &&
                     std::string_view("26AEae").find(text[1]) != std::string_view::npos;
  if (!valid) {
    say(session, Message::malformedAddress);
    return 0;
  }
  return 1;
}

int run(platform::Version& version, platform::Registry& registry, platform::Console& console,
        std::span<const std::string_view> args) {
  AdapterList list;
  Session session(console);
  detectPlatform(version, list);
  session.useJapanese = 0;

  const PlatformProfile* profile = selectProfile(list.platformCode);
  if (profile == nullptr) return exitFailed;
  list.profile = *profile;

  // The list is built before the arguments are looked at.
  if (enumerateAdapters(registry, list) == 0) {
    say(session, Message::adaptersNotFound);
    return exitFailed;
  }
  console.writeErr(bannerText);

  switch (args.size()) {
    case 0:
      return interactive(session, registry, list);
    case 1:
    case 2:
      return commandLine(session, registry, list, args);
    default:
      return exitTooManyArguments;
  }
}

}  // namespace nicmark
