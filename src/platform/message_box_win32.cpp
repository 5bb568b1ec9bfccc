// Message boxes of the saver.
#include "platform/message_box_win32.h"

namespace lumar {

namespace {
MessageSink installedSink = nullptr;
}  // namespace

void ShowMessage(const char* text, UINT type) {
  if (installedSink) {
    installedSink(text, type);
    return;
  }
  MessageBoxA(nullptr, text, kMessageTitle, type);
}

MessageSink SetMessageSink(MessageSink sink) {
  MessageSink previous = installedSink;
  installedSink = sink;
  return previous;
}

}  // namespace lumar
