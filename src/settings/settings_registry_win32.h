// Registry persistence of the settings record: HKCU "Software\Korvan\Lumar", REG_BINARY value "Pars".
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstddef>

#include "settings/parameter_set.h"
#include "settings/policy.h"

namespace lumar {

constexpr const char* kSettingsKeyPath = kProgramKeyPath;
constexpr const char* kSettingsValueName = "Pars";

// Reads "Pars" over the start of the record; fails when the key or value is missing or the value is
// longer than the record. A shorter value fills only the start of the record; `storedSize`, when given,
// receives the value's length.
bool ReadSettings(ParameterSet& record, std::size_t* storedSize = nullptr);

// Stores the whole record as "Pars", creating the key when needed. Fails only when the key cannot be
// created or opened; the result of the value write itself is not reported.
bool WriteSettings(const ParameterSet& record);

// Removes the program's key if it can be opened. Start-up never calls it: a value it cannot read stays.
void DeleteSettingsKey();

// Reads and validates the record against adapter 0 of `direct3d`: afterwards the record is usable. The
// registry is only read, even when the value is unreadable. Where the user has no usable record (none,
// unreadable or cut short), the machine's default preset (MachineDefaultPreset) is applied to the
// defaults.
void LoadSettings(SettingsState& settings, IDirect3D9* direct3d);

// The 1100 data bytes of adapter 0's identifier and its current desktop mode, as the record stores them.
// Either may be left zero when Direct3D cannot report it.
void FetchAdapterIdentity(IDirect3D9* direct3d, uint8_t (&identifier)[kAdapterIdentifierSize],
                          DisplayMode& desktop);

}  // namespace lumar
