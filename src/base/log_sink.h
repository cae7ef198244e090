// Where progress and diagnostic lines go: the log window in the application,
// standard output in batch modes, a string in tests. Lines are raw bytes
// (they may quote song texts). Called from the UI thread only; the engine's
// lines reach it through its notification queue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace melko {

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Appends one line; a line may itself hold "\r\n" breaks.
  virtual void Line(std::string_view text) = 0;
};

// Keeps every line, for batch output and tests.
class MemoryLog : public LogSink {
 public:
  void Line(std::string_view text) override { Lines.emplace_back(text); }
  std::vector<std::string> Lines;
};

// Discards everything.
class NullLog : public LogSink {
 public:
  void Line(std::string_view) override {}
};

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace melko
