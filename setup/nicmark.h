// nicmark, the network address setup tool: sets or releases the locally
// administered network address of one E100B or DC21X4 adapter by writing or
// deleting its NetworkAddress registry value, interactively or from the
// command line.  Everything it prints goes to standard error.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "adapter_list.h"
#include "platform/console.h"
#include "platform/registry.h"
#include "platform/version.h"

namespace nicmark {

// Exit codes.
inline constexpr int exitDone = 0;              // done, or the user cancelled
inline constexpr int exitTooManyArguments = 1;  // three or more arguments
inline constexpr int exitFailed = 2;            // nothing to do, or a wrong request

// The messages that exist as a pair of a Japanese and an English text.
enum class Message {
  adaptersNotFound,
  listHeader,
  adapterPrompt,
  operationMenu,
  addressPrompt,
  malformedAddress,
  adapterNameWrong,
  valueDeleted,
  valueWritten,
  keyNotOpened,
  valueNotSet,
  valueNotReleased,
};

// The text of a pair: the Japanese one (code page 932 bytes) when useJapanese
// is non-zero, else the English one.
std::string_view messageText(std::uint8_t useJapanese, Message message);

// Texts without a pair.
inline constexpr std::string_view bannerText =
    "** Network Address Setup Utility Version 1.0 **\n"
    "Sets or releases the locally administered address of a network adapter.\n"
    "Usage: nicmark [adapter name [network address]]\n\n";
inline constexpr const char* rowFormat = " %3d   :%s     %s\n";

inline constexpr const char* networkAddressValue = "NetworkAddress";

// One run's dialogue state.
struct Session {
  explicit Session(platform::Console& out) : console(out) {}
  platform::Console& console;
  std::uint8_t useJapanese = 0;
  std::array<char, 13> addressText{};  // 12 digits and the terminating zero
  std::string lineBuffer;              // the last answer, later the adapter's key path
};

// Prints one message of a pair.
void say(Session& session, Message message);

// 1 when the text is an address nicmark accepts: exactly 12 hexadecimal digits
// whose first octet makes a locally administered individual address.
// Otherwise prints the malformed-address message and gives 0.
int checkAddressSyntax(Session& session, std::string_view text);

// The whole tool: arguments without the program name; returns the exit code.
int run(platform::Version& version, platform::Registry& registry, platform::Console& console,
        std::span<const std::string_view> args);

}  // namespace nicmark
