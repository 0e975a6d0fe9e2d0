#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <random>

// Damages an MPEG-TS file the way a bad recording does: random bytes inside
// about half of the audio and video packets. Packet headers and the packets
// that start a frame (their timestamps) stay intact, so ffmpeg keeps going
// and complains loudly, about 200 KB of warnings for 30 s of 640x360.
inline bool damageTransportStream(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> offset(8, 177);
    std::uniform_int_distribution<int> value(0, 255);
    constexpr int packetSize = 188;
    for (int at = 0; at + packetSize <= bytes.size(); at += packetSize) {
        const auto b1 = static_cast<unsigned char>(bytes.at(at + 1));
        const int pid = ((b1 & 0x1f) << 8) | static_cast<unsigned char>(bytes.at(at + 2));
        const bool startsFrame = b1 & 0x40;
        if ((pid != 0x100 && pid != 0x101) || startsFrame || percent(random) >= 50)
            continue;
        const int from = at + offset(random);
        const char noise = static_cast<char>(value(random));
        for (int i = 0; i < 8; ++i)
            bytes[from + i] = noise;
    }
    return file.seek(0) && file.write(bytes) == bytes.size();
}
