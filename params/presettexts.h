#pragma once

#include <QString>

#include "avsettings.h"

// What a quality level sets, from its preset, as its tooltip says it:
// "CRF 24（H.264/H.265），其他编码 512 kb/s，最高 18 帧/秒" for a video level,
// "码率 128 kb/s，采样率 44100 Hz" for an audio one, "不限制，沿用源文件" for
// a level that sets nothing.
QString videoQualityTip(int level);
QString audioQualityTip(int level);

// What a record sets beyond its container's and its levels' presets, which
// the bar's three combos cannot show: "（已自定义：1280x720、H.265）"; empty
// when the combos say it all.
QString customisedText(const AVSettings &settings);
