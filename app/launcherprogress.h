#pragma once

// The batch's progress on the task-bar or dock entry of the desktop file, as
// KDE's task manager and the GNOME docks read it from the session bus
// (com.canonical.Unity.LauncherEntry).
class LauncherProgress final
{
public:
    // `fraction` from 0 to 1.
    void show(double fraction);
    void clear();

private:
    void update(double fraction, bool visible);

    bool shown = false;
};
