// Every message the program can show is explained in the user's guide: the texts are taken from the
// sources (the literal arguments of the calls that show a message box) and each must appear, in quotes,
// in docs/USER_GUIDE.md.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "config/user_guide.h"

namespace lumar {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The code page the sources' non-ASCII texts are in (1251) as UTF-8; only its letters occur.
std::string FromCodePage1251(const std::string& bytes) {
  std::string utf8;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c >= 0xC0) {  // U+0410 ... U+044F
      const unsigned code = 0x410 + (c - 0xC0);
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      ADD_FAILURE() << "a character outside the letters of code page 1251: " << static_cast<int>(c);
    }
  }
  return utf8;
}

// The string literals of an argument list, adjacent ones joined, escapes decoded.
std::set<std::string> Literals(const std::string& arguments) {
  std::set<std::string> texts;
  std::string current;
  bool pending = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const char c = arguments[i];
    if (c == '"') {
      for (++i; i < arguments.size() && arguments[i] != '"'; ++i) {
        if (arguments[i] != '\\') {
          current += arguments[i];
          continue;
        }
        const char e = arguments[++i];
        if (e == 'x') {
          std::size_t used = 0;
          current += static_cast<char>(std::stoi(arguments.substr(i + 1, 2), &used, 16));
          i += used;
        } else {
          current += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
      }
      pending = true;
    } else if (pending && c != ' ' && c != '\n' && c != '\r' && c != '\t') {
      texts.insert(FromCodePage1251(current));
      current.clear();
      pending = false;
    }
  }
  if (pending) texts.insert(FromCodePage1251(current));
  return texts;
}

// The literal texts given to the functions that show a message box, over every source file.
std::set<std::string> MessageTexts() {
  const char* showers[] = {"ShowMessage(", "Inform(", "Refuse(", "EnumerateModes("};
  std::set<std::string> texts;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(LUMAR_SOURCE_DIR "/src")) {
    if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
    const std::string source = ReadFile(entry.path());
    for (const char* shower : showers) {
      for (std::size_t at = source.find(shower); at != std::string::npos; at = source.find(shower, at + 1)) {
        // The argument list up to its closing parenthesis (no parenthesis inside the texts matters:
        // the messages' own are balanced).
        std::size_t end = at + std::strlen(shower);
        int depth = 1;
        bool inText = false;
        for (; end < source.size() && depth > 0; ++end) {
          if (source[end] == '"' && source[end - 1] != '\\') inText = !inText;
          if (!inText && source[end] == '(') ++depth;
          if (!inText && source[end] == ')') --depth;
        }
        for (const std::string& text : Literals(source.substr(at, end - at))) texts.insert(text);
      }
    }
  }
  return texts;
}

TEST(UserGuideMessages, EveryMessageTextIsInTheGuide) {
  std::set<std::string> texts = MessageTexts();
  texts.insert(kUserGuideMissing);  // the link button's, a constant of its own
  // The sources hold about twenty: a handful would mean the search above went wrong.
  ASSERT_GE(texts.size(), 20u);
  EXPECT_EQ(texts.count("Application requred DirectX 9.0b or higher"), 1u);
  EXPECT_EQ(texts.count("Not supported MultiSampleType = D3DMULTISAMPLE_NONE \xD0\xB4\xD0\xBB\xD1\x8F "
                        "\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xBD\xD0\xBE\xD0\xB3\xD0\xBE "
                        "\xD1\x80\xD0\xB5\xD0\xB6\xD0\xB8\xD0\xBC\xD0\xB0"),
            1u);
  const std::string guide = ReadFile(LUMAR_SOURCE_DIR "/docs/USER_GUIDE.md");
  ASSERT_FALSE(guide.empty());
  for (const std::string& text : texts) {
    EXPECT_NE(guide.find('"' + text + '"'), std::string::npos)
        << "docs/USER_GUIDE.md does not explain the message \"" << text << '"';
  }
}

}  // namespace
}  // namespace lumar
