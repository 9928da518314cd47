// The console streams of a console tool: standard output, standard error and
// standard input read one line at a time.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace platform {

class Console {
 public:
  virtual ~Console() = default;
  virtual void writeOut(std::string_view bytes) = 0;
  virtual void writeErr(std::string_view bytes) = 0;
  // Reads the next line of standard input without its line end (a line feed,
  // or a carriage return and a line feed); the line is read whole, whatever
  // its length.  False at the end of input with nothing read.
  virtual bool readLine(std::string& line) = 0;
};

// printf-style formatting into a string, for the tools' fixed formats.
#ifdef _WIN32
#define KIT_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define KIT_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif
std::string format(const char* fmt, ...) KIT_PRINTF_FORMAT(1, 2);
std::string vformat(const char* fmt, std::va_list args);

// The process's own standard streams, through the C runtime (text mode on
// Windows, so a line feed is written as a carriage return and a line feed).
class StdioConsole : public Console {
 public:
  void writeOut(std::string_view bytes) override;
  void writeErr(std::string_view bytes) override;
  bool readLine(std::string& line) override;
};

}  // namespace platform
