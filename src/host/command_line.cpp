// Parsing of the screen-saver command line.
#include "host/command_line.h"

#include <cstdlib>
#include <vector>

namespace lumar {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits on blanks the way the run-time library's argument vector does for unquoted words; a quoted word
// keeps its blanks and loses its quotes.
std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < text.size() && (quoted || !IsBlank(text[i])); ++i) {
      if (text[i] == '"') {
        quoted = !quoted;
      } else {
        word += text[i];
      }
    }
    words.push_back(word);
  }
  return words;
}

}  // namespace

CommandLine ParseCommandLine(const std::string& arguments) {
  CommandLine result;
  // Windows' own "Configure" (right-click the file) starts a saver with no arguments at all, and a
  // saver started that way is expected to show its settings.
  if (arguments.find_first_not_of(" \t\r\n") == std::string::npos) {
    result.mode = ScreenSaverMode::Configure;
    return result;
  }
  std::size_t at = 0;
  if (at < arguments.size() && (arguments[at] == '-' || arguments[at] == '/')) ++at;
  const char letter = at < arguments.size() ? arguments[at] : '\0';
  switch (letter) {
    case 'c':
    case 'C':
      result.mode = ScreenSaverMode::Configure;
      break;
    case 'p':
    case 'P':
      result.mode = ScreenSaverMode::Preview;
      break;
    case 'a':
    case 'A':
      result.mode = ScreenSaverMode::ChangePassword;
      break;
    default:
      result.mode = ScreenSaverMode::Saver;
      break;
  }
  if (result.mode == ScreenSaverMode::Preview || result.mode == ScreenSaverMode::ChangePassword) {
    const std::vector<std::string> words = SplitWords(arguments);
    if (words.size() >= 2) {
      // atol's reading; only the low 16 bits are a window handle.
      const long value = std::strtol(words[1].c_str(), nullptr, 10);
      result.parentWindow = static_cast<uint32_t>(static_cast<unsigned long>(value) & 0xFFFFu);
    }
  }
  return result;
}

}  // namespace lumar
