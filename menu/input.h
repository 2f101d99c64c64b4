// menu/input.h -- keyboard and pad input for the open menu, throttled by the game's script timer.
#pragma once

#include <cstdint>

// Moves the selection one step up or down, wrapping at both ends; up wins over down.
void NavigateMenu(int32_t& selection, int32_t lastIndex);

enum MenuInput : int32_t { NoInput = 0, AcceptInput = 1, CancelInput = 2 };
// Accept wins over cancel. A cancel also sets ActiveMenu to 0.
int32_t ReadAcceptOrCancel();
