#include "catalogue.h"

#include <array>
#include <initializer_list>

#include <QStringList>

CatalogueTable containerNames;
CatalogueTable containerExtensions;
CatalogueTable videoCodecNames;
CatalogueTable videoCodecIds;
CatalogueTable audioCodecNames;
CatalogueTable audioCodecIds;
CatalogueTable resolutions;
CatalogueTable qualityLevels;
CatalogueTable inputExtensions;

QByteArray outputDir;

namespace {

void fillOnce(CatalogueTable &table, std::initializer_list<const char *> texts)
{
    if (!table.empty())
        return;
    int key = 0;
    for (const char *text : texts)
        table.emplace(key++, QByteArray(text));
}

constexpr std::array<VideoPreset, 4> videoPresets{{
    {256, 32, 12},
    {512, 24, 18},
    {1024, 18, 30},
    {-1, -1, -1},
}};

constexpr std::array<AudioPreset, 4> audioPresets{{
    {32, 24000},
    {128, 44100},
    {256, 48000},
    {-1, -1},
}};

constexpr std::array<ContainerCodecs, 4> containerCodecs{{
    {2, 0},
    {2, 0},
    {2, 1},
    {4, 2},
}};

const QVector<QVector<int>> videoCodecsOffered{
    {0, 1, 2, 3, 6},
    {0, 2, 5},
    {0, 1, 2, 3, 4, 5, 6},
    {4},
};

const QVector<QVector<int>> audioCodecsOffered{
    {0, 3},
    {0, 1},
    {1, 2, 3},
    {2},
};

template <typename T, std::size_t N>
const T *entryAt(const std::array<T, N> &table, int key)
{
    if (key < 0 || key >= static_cast<int>(N))
        return nullptr;
    return &table[static_cast<std::size_t>(key)];
}

QVector<int> offeredFor(const QVector<QVector<int>> &table, int container)
{
    if (container < 0 || container >= table.size())
        return {};
    return table.at(container);
}

} // namespace

void initCatalogue()
{
    fillOnce(containerNames, {".mp4 (默认 H.264-AAC)", ".flv (默认 H.264-AAC)",
                              ".avi (默认 H.264-MP3)", ".wmv (默认 WMV2-WMAv2)"});
    fillOnce(containerExtensions, {".mp4", ".flv", ".avi", ".wmv"});
    fillOnce(videoCodecNames, {"MPEG4(DivX)", "MPEG4(Xvid)", "AVC(H264)", "HEVC(H265)",
                               "WMV2", "FLV1", "Copy"});
    fillOnce(videoCodecIds, {"mpeg4", "libxvid", "libx264", "libx265", "wmv2", "flv", "copy"});
    fillOnce(audioCodecNames, {"AAC", "MP3", "WMAv2", "Copy"});
    fillOnce(audioCodecIds, {"aac", "mp3", "wmav2", "copy"});
    fillOnce(resolutions, {"1920x1080", "1280x720", "720x480", "480x320"});
    fillOnce(qualityLevels, {"低质量", "中质量", "高质量", "默认"});
    // The eight of old first, then the types phones, cameras, discs and the
    // web leave behind.
    fillOnce(inputExtensions, {".mp4", ".mkv", ".flv", ".avi", ".wmv", ".mpg", ".mov", ".rmvb",
                               ".webm", ".m4v", ".3gp", ".3g2", ".ts", ".m2ts", ".mts", ".vob",
                               ".ogv", ".asf", ".f4v", ".divx", ".mpeg"});
}

const QByteArray *catalogueText(const CatalogueTable &table, int key)
{
    const auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}

QByteArray catalogueValue(const CatalogueTable &table, int key)
{
    const QByteArray *text = catalogueText(table, key);
    return text ? *text : QByteArray();
}

bool catalogueKey(const CatalogueTable &table, const QByteArray &text, int *key)
{
    for (const auto &entry : table) {
        if (entry.second == text) {
            *key = entry.first;
            return true;
        }
    }
    return false;
}

bool isAcceptedInputSuffix(const QByteArray &suffix)
{
    // Only A to Z are folded: other bytes may belong to UTF-8 sequences.
    QByteArray extension = "." + suffix;
    for (char &c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    for (const auto &entry : inputExtensions) {
        if (entry.second == extension)
            return true;
    }
    return false;
}

QString inputFileFilter()
{
    QStringList patterns;
    QStringList entries;
    for (const auto &entry : inputExtensions) {
        const QString pattern = '*' + QString::fromUtf8(entry.second);
        patterns << pattern;
        entries << QString::fromUtf8(entry.second.mid(1)).toUpper() + " (" + pattern + ')';
    }
    return "All Formats (" + patterns.join(' ') + ");;" + entries.join(QStringLiteral(";;"))
           + ";;All Files (*.*)";
}

const VideoPreset *videoPreset(int level)
{
    return entryAt(videoPresets, level);
}

const AudioPreset *audioPreset(int level)
{
    return entryAt(audioPresets, level);
}

const ContainerCodecs *containerDefaults(int container)
{
    return entryAt(containerCodecs, container);
}

QVector<int> offeredVideoCodecs(int container)
{
    return offeredFor(videoCodecsOffered, container);
}

QVector<int> offeredAudioCodecs(int container)
{
    return offeredFor(audioCodecsOffered, container);
}
