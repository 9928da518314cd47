// nicmark's message pairs: the English texts, the Japanese texts as code page
// 932 bytes, and the choice between them.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <string_view>

#include "messages_ja_cp932.h"
#include "nicmark.h"
#include "test_support.h"

namespace nicmark {
namespace {

struct Pair {
  Message message;
  std::string_view english;
  std::string_view japanese;  // code page 932
  std::string_view japaneseUtf8;
};

#define JA(name) ja::name, ja::utf8::name
const Pair pairs[] = {
    {Message::adaptersNotFound, "Adapters not found\n", JA(adaptersNotFound)},
    {Message::listHeader, "  No.  :Adapter  Network Address\n", JA(listHeader)},
    {Message::adapterPrompt, "\nSelect the number of adapter.(0 :Cancel) ", JA(adapterPrompt)},
    {Message::operationMenu,
     "\n0 :Exit\n1 :Setting of Network Address\n2 :Release of Network Address\n\nSelect the number. ",
     JA(operationMenu)},
    {Message::addressPrompt, "Input the Network Address. ", JA(addressPrompt)},
    {Message::malformedAddress, "\nThe specification of the Network Address is wrong.\n", JA(malformedAddress)},
    {Message::adapterNameWrong, "The specification of the adapter name is wrong.\n", JA(adapterNameWrong)},
    {Message::valueDeleted, "The Network Address was released.\nPlease reactivate the system.\n", JA(valueDeleted)},
    {Message::valueWritten, "The Network Address was set. \nPlease reactivate the system. \n", JA(valueWritten)},
    {Message::keyNotOpened, "The registry key of the adapter cannot be opened.\n", JA(keyNotOpened)},
    {Message::valueNotSet, "The Network Address could not be set.\n", JA(valueNotSet)},
    {Message::valueNotReleased, "The Network Address could not be released.\n", JA(valueNotReleased)},
};
#undef JA

// UTF-8 to code page 932 through the C library's converter.
std::string toCp932(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "glibc has no CP932 converter";
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in(utf8);
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  EXPECT_NE(rc, static_cast<std::size_t>(-1)) << "conversion failed";
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

TEST(Messages, JapaneseTextsAreTheCodePage932FormOfTheirOriginals) {
  for (const Pair& pair : pairs) {
    EXPECT_EQ(pair.japanese, toCp932(pair.japaneseUtf8)) << pair.japaneseUtf8;
    EXPECT_NE(pair.japanese, pair.japaneseUtf8);  // really converted
  }
  // Half-width katakana stay one byte each in the list header.
  EXPECT_EQ(ja::listHeader.substr(0, 9), std::string_view(" \x94\xd4\x8d\x86  :\xb1", 9));
}

TEST(Messages, UseJapaneseSelectsTheSideOfEachPair) {
  for (const Pair& pair : pairs) {
    EXPECT_EQ(messageText(0, pair.message), pair.english);
    EXPECT_EQ(messageText(1, pair.message), pair.japanese);
    EXPECT_EQ(messageText(0x80, pair.message), pair.japanese);
  }
  // A session with useJapanese set prints the Japanese side.
  testing::MemoryConsole console;
  Session session(console);
  session.useJapanese = 1;
  EXPECT_EQ(checkAddressSyntax(session, "01AABBCCDDEE"), 0);
  EXPECT_EQ(console.err, std::string(ja::malformedAddress));
}

}  // namespace
}  // namespace nicmark
