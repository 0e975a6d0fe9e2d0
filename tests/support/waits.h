#pragma once

// How long a test waits for anything outside itself: a child process, libvlc,
// the X server, the session bus. A loaded two-core machine can take many
// times the usual time; the waits end as soon as their condition holds, so a
// long limit costs nothing when all is well.
inline constexpr int processWaitMs = 30000;
