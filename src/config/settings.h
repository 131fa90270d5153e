#pragma once

struct AudioDevices;
struct ConfigRecord;
class IdAlarm;
class Keyer;
class KeyerState;
class KeyingLine;
class MemorySlots;

// Where the stored settings live while the program runs; all owned elsewhere.
struct SettingsTargets {
    MemorySlots& memories;
    Keyer& keyer;
    const KeyerState& state;
    KeyingLine& line;
    IdAlarm& idAlarm;
    AudioDevices& devices;
};

// Applies the record's notes, paths and settings through the same handlers as the buttons and
// menus. What only the window keeps (stay on top, the reserved fields) is left to it.
void applySettings(const ConfigRecord& record, const SettingsTargets& to);

// The record of the settings in effect, with the window's own fields as in base.
ConfigRecord collectSettings(const SettingsTargets& from, const ConfigRecord& base);
