// The message queue's hooks for the rest of the USER layer.
#pragma once

#include <windows.h>

namespace platform::user {

// Turns pending backend input (and a signal's close request) into queued
// messages.
void pumpInput();
// Drops pending backend input: what arrived while a modal box was open was
// meant for the box, not for the windows behind it.
void discardInput();
// Whether a key is held, as far as the queue has seen.
bool isKeyDown(int vk);

}  // namespace platform::user
