// plugin/settings.cpp -- reads the settings through the host's GetPrivateProfileIntA. No range
// checks: the keys are taken as they come, except for a speed that was written as a negative.
#include "plugin/settings.h"

#include "host/host_api.h"

float MaxTrainSpeed;
float ApproachDistanceSq;
int32_t MenuUpKey;
int32_t MenuDownKey;

void ReadSettings()
{
    uint32_t speed = Host.readProfileInt("SETTINGS", "MAX_TRAIN_SPEED",
                                         static_cast<int32_t>(DefaultMaxTrainSpeed), SettingsPath);
    // GetPrivateProfileIntA hands "-5" back as 4294967291. Taken literally that would be a train
    // speed in the billions; anything with the sign bit set was written negative, so use the default.
    if (speed >= 0x80000000u)
        speed = DefaultMaxTrainSpeed;
    MaxTrainSpeed = static_cast<float>(speed);
    const float approach = MaxTrainSpeed * 10.0f + 250.0f;
    ApproachDistanceSq = approach * approach;

    MenuUpKey = static_cast<int32_t>(Host.readProfileInt("SETTINGS", "MENU_UP_KEY", 38, SettingsPath));
    MenuDownKey = static_cast<int32_t>(Host.readProfileInt("SETTINGS", "MENU_DOWN_KEY", 40, SettingsPath));
}
