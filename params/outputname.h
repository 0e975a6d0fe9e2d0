#pragma once

#include <QByteArray>

// What every output's name starts with.
inline constexpr char outputNamePrefix[] = "Vantor转码-";
// The longest file name Linux file systems take, in bytes.
inline constexpr int maxFileNameBytes = 255;
// Kept free in every name for the " (N)" a taken name gets, up to " (9999)",
// so that a number never makes a name too long.
inline constexpr int takenNumberBytes = 7;

// The base name for an output named prefix + base name + extension: the
// given one while the whole name and a " (N)" fit maxFileNameBytes;
// otherwise its start and its end joined by "…", cut between UTF-8
// characters. An extension too long to leave room for the ellipsis gets
// only as much of the start as fits.
QByteArray fittedBaseName(const QByteArray &prefix, const QByteArray &baseName, const QByteArray &extension);
