#pragma once

// Fixed style sheets that code sets whole on a single button to switch its
// look at run time. The convert ones set only border-image, so the button
// keeps the font and colour of the window's own sheet.

inline constexpr char convertDisableStyle[] =
    "QPushButton#btnConvertStart{border-image: url(:/images/images/main_convert_disable.png);}QPushButton#btnConvertStart:hover{border-image: url(:/images/images/main_convert_disable.png);}QPushButton#btnConvertStart:pressed{border-image: url(:/images/images/main_convert_disable.png);}";

inline constexpr char convertStartStyle[] =
    "QPushButton#btnConvertStart{border-image:url(:/images/images/main_convert_start.png) 0 0 146 0;}QPushButton#btnConvertStart:hover{border-image:url(:/images/images/main_convert_start.png) 73 0 73 0;}QPushButton#btnConvertStart:pressed{border-image:url(:/images/images/main_convert_start.png) 146 0 0 0;}";

inline constexpr char convertStopStyle[] =
    "QPushButton#btnConvertStart{border-image:url(:/images/images/main_convert_stop.png) 0 0 146 0;}QPushButton#btnConvertStart:hover{border-image:url(:/images/images/main_convert_stop.png) 73 0 73 0;}QPushButton#btnConvertStart:pressed{border-image:url(:/images/images/main_convert_stop.png) 146 0 0 0;}";

// The batch's pause button while the batch runs, and while it is paused.
inline constexpr char convertPauseStyle[] =
    "QPushButton#btnConvertPause{border-image: url(:/images/images/main_convert_pause.png) 0 0 64 0;}QPushButton#btnConvertPause:hover{border-image: url(:/images/images/main_convert_pause.png) 32 0 32 0;}QPushButton#btnConvertPause:pressed{border-image: url(:/images/images/main_convert_pause.png) 64 0 0 0;}";

inline constexpr char convertResumeStyle[] =
    "QPushButton#btnConvertPause{border-image: url(:/images/images/main_convert_resume.png) 0 0 64 0;}QPushButton#btnConvertPause:hover{border-image: url(:/images/images/main_convert_resume.png) 32 0 32 0;}QPushButton#btnConvertPause:pressed{border-image: url(:/images/images/main_convert_resume.png) 64 0 0 0;}";

inline constexpr char playerPlayStyle[] =
    "QPushButton#btnPause{border-image: url(:/images/images/record_start.png) 0 0 64 0;}QPushButton#btnPause:hover{border-image: url(:/images/images/record_start.png) 32 0 32 0;}QPushButton#btnPause:pressed{border-image: url(:/images/images/record_start.png) 64 0 0 0;}";

inline constexpr char playerPauseStyle[] =
    "QPushButton#btnPause{border-image: url(:/images/images/record_pause.png) 0 0 64 0;}QPushButton#btnPause:hover{border-image: url(:/images/images/record_pause.png) 32 0 32 0;}QPushButton#btnPause:pressed{border-image: url(:/images/images/record_pause.png) 64 0 0 0;}";
