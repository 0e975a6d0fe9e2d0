#pragma once

// The name of the installed desktop entry, without ".desktop": the launcher
// and the notifications name the program by it, and the package installs
// the entry and its AppStream listing under it. It follows the maker's
// domain (reversed), a placeholder until a real one exists.
inline constexpr char desktopEntryName[] = "com.example.vantor_converter";
