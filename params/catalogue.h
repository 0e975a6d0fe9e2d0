#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <map>

// The fixed vocabulary of every transcoding choice: ordered maps from a small
// key (from 0) to a UTF-8 text. The integers of AVSettings are these keys.
using CatalogueTable = std::map<int, QByteArray>;

extern CatalogueTable containerNames;
extern CatalogueTable containerExtensions;
extern CatalogueTable videoCodecNames;
extern CatalogueTable videoCodecIds;
extern CatalogueTable audioCodecNames;
extern CatalogueTable audioCodecIds;
extern CatalogueTable resolutions;
extern CatalogueTable qualityLevels;
extern CatalogueTable inputExtensions;

// The keys of containerNames and containerExtensions.
inline constexpr int ContainerMp4 = 0;
inline constexpr int ContainerFlv = 1;
inline constexpr int ContainerAvi = 2;
inline constexpr int ContainerWmv = 3;

// The output directory (UTF-8) the jobs write into; empty until the main
// window sets it.
extern QByteArray outputDir;

// Fills each table that is still empty; a second call changes nothing.
void initCatalogue();

// The text stored under key, or nullptr when the table has no such key.
const QByteArray *catalogueText(const CatalogueTable &table, int key);

// The text stored under key, or an empty text when the table has no such key.
QByteArray catalogueValue(const CatalogueTable &table, int key);

// The first key (in key order) whose text equals text byte for byte; false
// when no entry matches (key is then left alone).
bool catalogueKey(const CatalogueTable &table, const QByteArray &text, int *key);

// True when "." + suffix, with ASCII letters lower-cased, is an accepted input
// extension. The suffix is the part of the file name after its last dot.
bool isAcceptedInputSuffix(const QByteArray &suffix);

// The file dialog's filter: "All Formats" with every accepted extension, one
// entry per extension in table order, then "All Files (*.*)".
QString inputFileFilter();

struct VideoPreset
{
    int videoBitrate;
    int crf;
    int frameRate;
};

struct AudioPreset
{
    int audioBitrate;
    int sampleRate;
};

struct ContainerCodecs
{
    int videoCodec;
    int audioCodec;
};

// Rule tables; each returns nullptr for a key outside the table.
const VideoPreset *videoPreset(int level);
const AudioPreset *audioPreset(int level);
const ContainerCodecs *containerDefaults(int container);

// Codec keys offered for a container, in display order; empty for an
// unknown container.
QVector<int> offeredVideoCodecs(int container);
QVector<int> offeredAudioCodecs(int container);
