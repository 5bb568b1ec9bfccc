// The user-visible failure messages: a message box without owner and with the title "Lumar".
// Tests replace the sink to see the text instead of a modal box.
#pragma once

#include <windows.h>

namespace lumar {

constexpr const char* kMessageTitle = "Lumar";

using MessageSink = void (*)(const char* text, UINT type);

// Shows `text` with `type` (MB_ICONINFORMATION, MB_OK, ...), through the installed sink if any.
void ShowMessage(const char* text, UINT type);

// Installs a sink (nullptr restores the real message box); returns the previous one.
MessageSink SetMessageSink(MessageSink sink);

}  // namespace lumar
