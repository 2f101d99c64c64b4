// host/natives.h -- every native the plug-in calls, by hash. Code names natives only through these
// constants; a bare hash anywhere else in the plug-in is a bug. Arguments and result are on each
// line. The hosts keep their own copy (tests/data/natives.txt), compared with this one by a test.
#pragma once

#include <cstdint>

// clang-format off
// Player, entities, world
constexpr uint64_t NativePlayerPed            = 0x096275889B8E0EE0; // () -> player's character
constexpr uint64_t NativeEntityExists         = 0xD42BD6EB2E0F1677; // (entity) -> yes/no
constexpr uint64_t NativePlayerCanInteract    = 0xAC29253EEF8F0180; // (character) -> yes/no, must be yes
constexpr uint64_t NativePlayerIsOccupied     = 0x67722AEB798E5FAB; // (character, 1) -> yes/no, must be no
constexpr uint64_t NativeEntityPosition       = 0xA86D5F069399F44D; // (entity, flag, 0) -> vector
constexpr uint64_t NativeSquaredDistance      = 0xB7A628320EFF8E47; // (x1,y1,z1,x2,y2,z2 floats) -> float
constexpr uint64_t NativeGameTime             = 0x4F67E8ECA7D3F667; // () -> int32 milliseconds
constexpr uint64_t NativeRandomInt            = 0xD53343AA4FB7DD28; // (low, limit) -> low..limit-1
constexpr uint64_t NativeCoinFlip             = 0xB6101ABE62B5F080; // () -> yes/no
constexpr uint64_t NativeHashOfName           = 0xFD340785ADF8CFB7; // (text) -> uint32 hash
constexpr uint64_t NativeComposeText          = 0xFA925AC00EB830B9; // (flags, template, args...) -> opaque text

// Interaction prompt. What the four settings mean to the game is not known, only the calls: A and
// B are made before the setup step (given 1 and 0), C and D after it (given 1); hence the letters.
constexpr uint64_t NativePromptBegin          = 0x04F97DE45A519419; // () -> prompt
constexpr uint64_t NativePromptSetControl     = 0xB5352B7494A08258; // (prompt, control hash)
constexpr uint64_t NativePromptSetLabel       = 0x5DD02A8318420DD7; // (prompt, opaque text)
constexpr uint64_t NativePromptSettingA       = 0x94073D5CA3F16B7B; // (prompt, 1)
constexpr uint64_t NativePromptSettingB       = 0xCA24F528D0D16289; // (prompt, 0)
constexpr uint64_t NativePromptFinishSetup    = 0xF7AA2696A22AD8B9; // (prompt)
constexpr uint64_t NativePromptSettingC       = 0x71215ACCFDE075EE; // (prompt, 1)
constexpr uint64_t NativePromptSettingD       = 0x8A0FB4D03A630D21; // (prompt, 1)
constexpr uint64_t NativePromptWasUsed        = 0xE0F65F0640EF0617; // (prompt) -> yes/no
constexpr uint64_t NativePromptRemove         = 0x00EDE88D4D13CF59; // (prompt)

// Menu drawing, input and sound
constexpr uint64_t NativeDrawSprite           = 0xC9884ECADE94CB34; // (dict, texture, x, y, w, h, rot, r, g, b, a, 0)
constexpr uint64_t NativeSetTextScale         = 0x4170B650590B3B00; // (x scale, y scale), next text only
constexpr uint64_t NativeSetTextColour        = 0x50A41AD966910F03; // (r, g, b, a), next text only
constexpr uint64_t NativeDisplayText          = 0xD79334A4BB99BAD1; // (opaque text, x, y)
constexpr uint64_t NativeScriptTimer          = 0x83666F9FB8FEBD4B; // () -> int milliseconds since reset
constexpr uint64_t NativeSetScriptTimer       = 0xC1B1E9A034A63A62; // (int milliseconds)
constexpr uint64_t NativeControlIsHeld        = 0xE2587F8CBBD87B1D; // (pad, control hash) -> int
constexpr uint64_t NativeControlJustReleased  = 0x305C8DCD79DA8B0F; // (pad, control hash) -> int
constexpr uint64_t NativePlayFrontendSound    = 0x67C540AA08E4A6F5; // (sound, sound set, 1, 0)
constexpr uint64_t NativeUsingKeyboard        = 0xA571D46727E2B718; // (0) -> int, 0 while a pad is used
constexpr uint64_t NativeBlockPadControls     = 0x5F4B6931816E599B; // (pad), for this frame

// Cash
constexpr uint64_t NativePlayerCash           = 0x0C02DABFA3B98176; // () -> int cents
constexpr uint64_t NativeChargeCash           = 0x466BC8769CF26A7A; // (int cents)

// Train dispatch
constexpr uint64_t NativeTransitionBegin      = 0x40C719A5E410B9E4; // (milliseconds)
constexpr uint64_t NativeTransitionEnd        = 0x6A053CF596F67DF7; // (milliseconds)
constexpr uint64_t NativeAssetIsLoaded        = 0x1283B8B89DD5D1B6; // (asset hash) -> yes/no
constexpr uint64_t NativeAssetRequest         = 0xFA28FE3A6246FC30; // (asset hash, 1)
constexpr uint64_t NativeAssetRelease         = 0x4AD96EF928BD4F9A; // (asset hash)
constexpr uint64_t NativePedIsInTheWay        = 0x6F972C1AB75A1ED0; // (character) -> yes/no
constexpr uint64_t NativeRemoveTrain          = 0x0D3630FB07E8B570; // (address of train handle)
constexpr uint64_t NativeTrainSwitch          = 0x1156C6EE7E82A98A; // (0 or 1), game-wide
constexpr uint64_t NativeBeforeTrainCreation  = 0xA3120A1385F17FF7; // ()
constexpr uint64_t NativeCreateTrain          = 0xC239DBD9A57D2A71; // (config, x, y, z, direction, 1, 1, 1) -> train
constexpr uint64_t NativeTrainLastStopSetting = 0x4182C037AA1F0091; // (train, 0 or 1)
constexpr uint64_t NativeTrainInitialSpeed    = 0x9F29999DFDF2AEB8; // (train, float)
constexpr uint64_t NativeAfterTrainCreation   = 0xAB7C251C7701D336; // (0, 10..39, 0)
constexpr uint64_t NativePedPrepare           = 0xAAA34F8A7CB32098; // (character, 1, 1)
constexpr uint64_t NativePedIsSettled         = 0x138190F64DB4BBD1; // (character) -> yes/no
constexpr uint64_t NativePedSetPair           = 0xDC19C288082E586E; // (character, a, b)
constexpr uint64_t NativePedByAddress         = 0x4CD38C78BD19A497; // (address of a handle copy)
constexpr uint64_t NativePedMoveTo            = 0x0918E3565C20F03C; // (character, x, y, 0, 0, 1, 1)
constexpr uint64_t NativePedRelease           = 0x4971D2F8162B9674; // (address of handle slot)

// Train journey
constexpr uint64_t NativeGiveUpEntity         = 0xBBE7648349B49BE8; // (address of handle, 0)
constexpr uint64_t NativeTrainIsHeld          = 0x78C3311A73135241; // (train) -> yes/no
constexpr uint64_t NativeTrainTravelSpeed     = 0x01021EB2E96B793C; // (train, float)
constexpr uint64_t NativeTrainImmediateSpeed  = 0xDFBA6BBFF7CCAFBB; // (train, float)
constexpr uint64_t NativeTrainAnnounce        = 0xCFE122EC635CC2B2; // (train sign-widened, text, 0, 0)
constexpr uint64_t NativeTrainJunction        = 0x09034479E6E3E269; // (train, &track, &index)
constexpr uint64_t NativeTrainTrack           = 0x865FEC2FA899F29C; // (train sign-widened) -> int
constexpr uint64_t NativeSetJunction          = 0xE6C5E2125EB210C1; // (track sign-widened, index, state)
// clang-format on
