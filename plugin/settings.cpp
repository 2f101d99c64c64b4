// plugin/settings.cpp -- reads the settings through the host's GetPrivateProfileIntA. No range
// checks: the keys are taken as they come, except for a speed of 0 or one written as a negative.
#include "plugin/settings.h"

#include "host/host_api.h"

float MaxTrainSpeed;
float ApproachDistanceSq;
int32_t MenuUpKey;
int32_t MenuDownKey;
bool RecordSession;
RecordedSettings SettingsAsRead;

void ReadSettings()
{
    const uint32_t asRead =
        Host.readProfileInt("SETTINGS", "MAX_TRAIN_SPEED", static_cast<int32_t>(DefaultMaxTrainSpeed), SettingsPath);
    uint32_t speed = asRead;
    // GetPrivateProfileIntA hands "-5" back as 4294967291. Taken literally that would be a train
    // speed in the billions; anything with the sign bit set was written negative, so use the default.
    // A 0 ("0", or any text that is not a number, such as a typo "fast") would take the fare for a
    // train that never reaches the platform: the default too.
    if (speed == 0 || speed >= 0x80000000u)
        speed = DefaultMaxTrainSpeed;
    MaxTrainSpeed = static_cast<float>(speed);
    const float approach = MaxTrainSpeed * 10.0f + 250.0f;
    ApproachDistanceSq = approach * approach;

    const uint32_t up = Host.readProfileInt("SETTINGS", "MENU_UP_KEY", 38, SettingsPath);
    const uint32_t down = Host.readProfileInt("SETTINGS", "MENU_DOWN_KEY", 40, SettingsPath);
    MenuUpKey = static_cast<int32_t>(up);
    MenuDownKey = static_cast<int32_t>(down);

    const uint32_t record = Host.readProfileInt("SETTINGS", "RECORD_SESSION", 0, SettingsPath);
    RecordSession = record == 1;
    SettingsAsRead = RecordedSettings{asRead, up, down, record};
}
