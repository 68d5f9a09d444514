// The message queue's hooks for the rest of the USER layer.
#pragma once

#include <windows.h>

namespace platform::user {

// Drops pending backend input: what arrived while a modal box was open was
// meant for the box, not for the windows behind it.
void discardInput();
// Drops queued messages addressed to a window that is going away.
void forgetMessagesFor(HWND hwnd);

}  // namespace platform::user
