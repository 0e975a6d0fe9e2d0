#pragma once

// Addresses opened by the two link buttons of the title strip. They live here
// alone so that the real addresses replace these in one place.
inline constexpr char companySiteUrl[] = "https://www.example.com/";
inline constexpr char communityGroupUrl[] = "https://community.example.com/join?key=0000000000";
