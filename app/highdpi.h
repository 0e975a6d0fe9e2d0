#pragma once

// Lets the window scale as one with the screen's density: sizes in pixels
// grow with the texts in points, and pictures come from their @2x files on
// dense screens. Must run before the application object exists. Qt's own
// environment variables (QT_SCALE_FACTOR, QT_ENABLE_HIGHDPI_SCALING=0,
// QT_SCALE_FACTOR_ROUNDING_POLICY, ...) still take precedence.
void enableHighDpiScaling();
