// The one setting kept beside the record rather than in it: "AsFastAsPossible", a DWORD under the
// program's key. Set (non-zero), the full-screen monitor presents at once and the loop draws as fast as it
// can on mains power; unset or missing (the default), no screen draws more frames a second than the
// fastest monitor shows.
#pragma once

namespace lumar {

constexpr const char* kAsFastAsPossibleValueName = "AsFastAsPossible";

// False when the key or the value is missing, or the value is not a DWORD.
bool ReadAsFastAsPossible();
// Stores the DWORD (1 or 0), creating the key when needed; false when the key cannot be opened.
bool WriteAsFastAsPossible(bool on);

}  // namespace lumar
