// Starting and stopping SDL's video for a backend.
#pragma once

namespace platform::backend {

// Starts SDL's video with the hints every backend here wants (no signal
// handlers of SDL's, no screensaver inhibition, windows' surfaces in plain
// shared memory, no vertical sync). `x11Only` insists on X11. False when
// only a driver that draws nowhere (offscreen, dummy) or none would start.
bool startSdlVideo(bool x11Only);
// The other half; SDL is shut down entirely once nothing else uses it.
void stopSdlVideo();

}  // namespace platform::backend
