#pragma once

// Whether the desktop session has a bus to talk to. Without a bus address the
// D-Bus library would try to launch a bus of its own on the X display; a
// desktop without one simply offers none of its services.
bool hasSessionBus();
