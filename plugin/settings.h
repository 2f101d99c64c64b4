// plugin/settings.h -- the settings of .\Quorvane.ini, read once while the library loads.
#pragma once

#include <cstdint>

#include "host/recorder.h"

extern float MaxTrainSpeed;       // MAX_TRAIN_SPEED, default 14
extern float ApproachDistanceSq;  // (MaxTrainSpeed * 10 + 250)^2, where braking for a stop begins
extern int32_t MenuUpKey;         // MENU_UP_KEY, default 38 (Up arrow)
extern int32_t MenuDownKey;       // MENU_DOWN_KEY, default 40 (Down arrow)

constexpr const char* SettingsPath = ".\\Quorvane.ini";
constexpr uint32_t DefaultMaxTrainSpeed = 14;

// RECORD_SESSION: 1 writes a recording of the session to .\Quorvane.rec; 0, missing or any
// other value records nothing.
extern bool RecordSession;
// The four values as GetPrivateProfileIntA gave them, before any fallback: a recording's header.
extern RecordedSettings SettingsAsRead;

void ReadSettings();
