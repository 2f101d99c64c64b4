// plugin/settings.h -- the three settings of .\Quorvane.ini, read once while the library loads.
#pragma once

#include <cstdint>

extern float MaxTrainSpeed;       // MAX_TRAIN_SPEED, default 14
extern float ApproachDistanceSq;  // (MaxTrainSpeed * 10 + 250)^2, where braking for a stop begins
extern int32_t MenuUpKey;         // MENU_UP_KEY, default 38 (Up arrow)
extern int32_t MenuDownKey;       // MENU_DOWN_KEY, default 40 (Down arrow)

constexpr const char* SettingsPath = ".\\Quorvane.ini";
constexpr uint32_t DefaultMaxTrainSpeed = 14;

void ReadSettings();
