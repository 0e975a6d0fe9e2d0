#pragma once

#include <QByteArray>

#include "avsettings.h"
#include "mediainfo.h"

// Why a stream is copied or encoded, the values copyVerdict() gives.
inline constexpr int CopyFits = 0;
// "尽量直接复制" is off.
inline constexpr int CopyTurnedOff = 1;
// The chosen codec is not the source's.
inline constexpr int CopyOtherCodec = 2;
// Not every player of the container plays the codec there.
inline constexpr int CopyNotPlayable = 3;
// A filter would change it: not 8-bit 4:2:0, an odd side, interlaced, a turn
// outside .mp4, a subtitle to burn in, or something of it unknown.
inline constexpr int CopyNeedsFilter = 4;
// H.264 above High, HEVC other than Main, AAC other than LC and HE.
inline constexpr int CopyProfile = 5;
// Larger than the chosen box.
inline constexpr int CopyTooLarge = 6;
inline constexpr int CopyFrameRate = 7;
inline constexpr int CopyBitRate = 8;
inline constexpr int CopySampleRate = 9;
inline constexpr int CopyChannels = 10;

// Whether a video or audio stream of the source already is what the settings
// ask for, so that copying it gives what encoding it would, and plays
// wherever that would: CopyFits, or the first rule it breaks. A limit the
// settings leave at -1 ("默认") holds for anything; a limit they set holds
// only for a stream whose record shows it is met. `burnsSubtitle` says that
// a subtitle would be drawn into the picture.
int copyVerdict(const MediaStream &stream, const AVSettings &settings, bool burnsSubtitle = false);

// What a copied stream needs to play in the container: the tag ("hvc1":
// Apple's players refuse HEVC tagged hev1) and the bitstream filter (.avi
// wants H.264 with start codes); empty when none.
QByteArray copyTag(const QByteArray &codec, int container);
QByteArray copyBitstreamFilter(const QByteArray &codec, int container);
