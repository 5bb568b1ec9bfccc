// The preview's pause while a full-screen instance runs: the full-screen saver holds the event
// "LumarEvent" unsignalled for as long as it runs, and the preview waits for it.
#pragma once

#include <windows.h>

namespace lumar {

// Whether a full-screen instance is alive: a top-level window of class "Lumar" titled "Lumar" that
// belongs to a live process.
bool FullScreenInstanceAlive();

// Waits, in slices with this thread's messages served, until `running` is signalled, or no full-screen
// instance has been alive for two slices in a row (it ended without signalling: a crash, a kill), or a
// quit message arrives (it is posted again for the message loop). Returns whether the event was signalled.
bool WaitWhileFullScreenRuns(HANDLE running, DWORD sliceMilliseconds = 100);

}  // namespace lumar
