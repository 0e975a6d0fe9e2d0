#pragma once

// Maps the Windows font families the style sheets name onto the CJK font a
// Linux desktop has, so that Chinese and Latin text share one face.
void installFontSubstitutes();
