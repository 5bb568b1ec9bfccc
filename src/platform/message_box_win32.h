// The user-visible failure messages: a message box without owner and with the title "Lumar".
// Tests replace the sink to see the text instead of a modal box.
#pragma once

#include <windows.h>

#include <string>

namespace lumar {

constexpr const char* kMessageTitle = "Lumar";

// The messages' texts are stored in code page 1251 (plain ASCII but for one Russian phrase); the box is
// shown through the Unicode call, so they read the same on every Windows whatever its own code page.
constexpr UINT kMessageCodePage = 1251;

// A message's text as the box shows it.
std::wstring MessageTextToUnicode(const char* text);

using MessageSink = void (*)(const char* text, UINT type);

// Shows `text` with `type` (MB_ICONINFORMATION, MB_OK, ...), through the installed sink if any.
void ShowMessage(const char* text, UINT type);

// Installs a sink (nullptr restores the real message box); returns the previous one.
MessageSink SetMessageSink(MessageSink sink);

}  // namespace lumar
