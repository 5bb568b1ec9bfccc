// Message boxes of the saver.
#include "platform/message_box_win32.h"

#include <string>

namespace lumar {

namespace {
MessageSink installedSink = nullptr;
}  // namespace

std::wstring MessageTextToUnicode(const char* text) {
  if (!text) return std::wstring();
  const int length = MultiByteToWideChar(kMessageCodePage, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(kMessageCodePage, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));  // the terminating NUL
  return wide;
}

void ShowMessage(const char* text, UINT type) {
  if (installedSink) {
    installedSink(text, type);
    return;
  }
  // The Unicode call: the ANSI one would read the Cyrillic bytes in the system's own code page.
  const std::wstring wide = MessageTextToUnicode(text);
  const std::wstring title = MessageTextToUnicode(kMessageTitle);
  MessageBoxW(nullptr, wide.c_str(), title.c_str(), type);
}

MessageSink SetMessageSink(MessageSink sink) {
  MessageSink previous = installedSink;
  installedSink = sink;
  return previous;
}

}  // namespace lumar
