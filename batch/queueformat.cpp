#include "queueformat.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <limits>

#include "transcodejob.h"

namespace {

const char snapshotFormat[] = "vantor-converter-queue";
const char journalFormat[] = "vantor-converter-queue-journal";
inline constexpr int formatVersion = 1;
inline constexpr int checkDigits = 8;
inline constexpr int settingsFields = 11;

std::int32_t *settingsField(AVSettings &settings, int index)
{
    std::int32_t *const fields[settingsFields] = {
        &settings.container,    &settings.videoCodec,   &settings.audioCodec,
        &settings.resolution,   &settings.videoBitrate, &settings.crf,
        &settings.frameRate,    &settings.audioBitrate, &settings.sampleRate,
        &settings.videoQuality, &settings.audioQuality,
    };
    return fields[index];
}

void insertText(QJsonObject &object, const char *key, const QByteArray &text)
{
    if (!text.isEmpty())
        object.insert(QLatin1String(key), QString::fromUtf8(text));
}

// The tracks chosen, beside the eleven numbers that lists of every version
// hold; left out while they are the defaults, so a list without them reads
// as before.
void insertStreamChoices(QJsonObject &object, const AVSettings &s)
{
    const AVSettings defaults{};
    if (s.audioTracks == defaults.audioTracks && s.subtitleMode == defaults.subtitleMode)
        return;
    object.insert(QStringLiteral("streams"),
                  QJsonObject{{QStringLiteral("audio"), s.audioTracks},
                              {QStringLiteral("audioTrack"), s.audioTrack},
                              {QStringLiteral("audioLanguage"), QString::fromUtf8(s.audioLanguage)},
                              {QStringLiteral("subtitles"), s.subtitleMode},
                              {QStringLiteral("subtitleTrack"), s.subtitleTrack},
                              {QStringLiteral("subtitleLanguage"), QString::fromUtf8(s.subtitleLanguage)}});
}

QJsonObject rowObject(const QueueRow &row)
{
    AVSettings settings = row.settings;
    QJsonArray fields;
    for (int i = 0; i < settingsFields; ++i)
        fields.append(*settingsField(settings, i));
    QJsonObject object{{QStringLiteral("input"), QString::fromUtf8(row.inputPath)},
                       {QStringLiteral("settings"), fields},
                       {QStringLiteral("state"), row.state}};
    insertText(object, "output", row.outputPath);
    insertText(object, "error", row.errorText);
    insertText(object, "warning", row.warningText);
    if (row.madeInode != 0)
        object.insert(QStringLiteral("made"), QString::number(row.madeInode));
    insertStreamChoices(object, row.settings);
    // Written only when off, so a list without it copies as the default does.
    if (!row.settings.copyIfFits)
        object.insert(QStringLiteral("copyIfFits"), false);
    return object;
}

bool readInteger(const QJsonValue &value, qint64 low, qint64 high, qint64 *number)
{
    const double given = value.toDouble(std::numeric_limits<double>::quiet_NaN());
    if (!(given >= double(low) && given <= double(high)) || given != double(qint64(given)))
        return false;
    *number = qint64(given);
    return true;
}

bool readText(const QJsonObject &object, const char *key, QByteArray *text)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined())
        return true;
    if (!value.isString())
        return false;
    *text = value.toString().toUtf8();
    return true;
}

// Optional: lists written without it load as they are.
bool readMade(const QJsonObject &object, QueueRow *row)
{
    QByteArray made;
    bool isNumber = true;
    if (!readText(object, "made", &made))
        return false;
    row->madeInode = made.isEmpty() ? 0 : made.toULongLong(&isNumber);
    return isNumber;
}

bool readStreamChoices(const QJsonObject &row, AVSettings *s)
{
    const QJsonValue value = row.value(QLatin1String("streams"));
    if (value.isUndefined())
        return true;
    const QJsonObject object = value.toObject();
    qint64 audio = 0;
    qint64 audioTrack = 0;
    qint64 subtitles = 0;
    qint64 subtitleTrack = 0;
    QByteArray audioLanguage;
    QByteArray subtitleLanguage;
    if (!value.isObject()
        || !readInteger(object.value(QLatin1String("audio")), AllAudioTracks, OneAudioTrack, &audio)
        || !readInteger(object.value(QLatin1String("audioTrack")), -1, std::numeric_limits<std::int32_t>::max(), &audioTrack)
        || !readInteger(object.value(QLatin1String("subtitles")), SubtitlesAuto, SubtitlesBurn, &subtitles)
        || !readInteger(object.value(QLatin1String("subtitleTrack")), -1, std::numeric_limits<std::int32_t>::max(), &subtitleTrack)
        || !readText(object, "audioLanguage", &audioLanguage)
        || !readText(object, "subtitleLanguage", &subtitleLanguage))
        return false;
    s->audioTracks = std::int32_t(audio);
    s->audioTrack = std::int32_t(audioTrack);
    s->audioLanguage = audioLanguage;
    s->subtitleMode = std::int32_t(subtitles);
    s->subtitleTrack = std::int32_t(subtitleTrack);
    s->subtitleLanguage = subtitleLanguage;
    return true;
}

bool readCopyChoice(const QJsonObject &row, AVSettings *s)
{
    const QJsonValue value = row.value(QLatin1String("copyIfFits"));
    if (value.isUndefined())
        return true;
    if (!value.isBool())
        return false;
    s->copyIfFits = value.toBool();
    return true;
}

bool readRow(const QJsonValue &value, QueueRow *row)
{
    const QJsonObject object = value.toObject();
    const QJsonValue input = object.value(QLatin1String("input"));
    const QJsonArray fields = object.value(QLatin1String("settings")).toArray();
    qint64 state = 0;
    if (!input.isString() || input.toString().isEmpty() || fields.size() != settingsFields
        || !readInteger(object.value(QLatin1String("state")), ConvertWaiting, ConvertError, &state))
        return false;
    row->inputPath = input.toString().toUtf8();
    row->state = int(state);
    for (int i = 0; i < settingsFields; ++i) {
        qint64 field = 0;
        if (!readInteger(fields.at(i), std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), &field))
            return false;
        *settingsField(row->settings, i) = std::int32_t(field);
    }
    return readText(object, "output", &row->outputPath)
           && readText(object, "error", &row->errorText)
           && readText(object, "warning", &row->warningText) && readMade(object, row)
           && readStreamChoices(object, &row->settings) && readCopyChoice(object, &row->settings);
}

// Usable, Damaged or Newer for a document that should carry `format`.
QueueFormat::Verdict verdictOf(const QJsonObject &object, const char *format)
{
    qint64 version = 0;
    if (object.value(QLatin1String("format")).toString() != QLatin1String(format)
        || !readInteger(object.value(QLatin1String("version")), 1,
                        std::numeric_limits<std::int32_t>::max(), &version))
        return QueueFormat::Damaged;
    return version > formatVersion ? QueueFormat::Newer : QueueFormat::Usable;
}

QJsonObject objectOf(const QByteArray &json, bool *ok)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    *ok = error.error == QJsonParseError::NoError && document.isObject();
    return document.object();
}

QByteArray checkOf(const QByteArray &json)
{
    return QCryptographicHash::hash(json, QCryptographicHash::Sha1).toHex().left(checkDigits);
}

// One "<check> <json>" line without its "\n".
bool readRecord(const QByteArray &line, QueueFormat::Record *record)
{
    const QByteArray json = line.mid(checkDigits + 1);
    if (line.size() <= checkDigits + 1 || line.at(checkDigits) != ' '
        || line.left(checkDigits) != checkOf(json))
        return false;
    bool parsed = false;
    const QJsonObject object = objectOf(json, &parsed);
    qint64 sequence = 0;
    if (!parsed || !readInteger(object.value(QLatin1String("seq")), 1, qint64(1) << 53, &sequence)
        || !readRow(object.value(QLatin1String("row")), &record->row))
        return false;
    record->sequence = quint64(sequence);
    return true;
}

} // namespace

QByteArray QueueFormat::snapshot(const QList<QueueRow> &rows, quint64 journalSequence)
{
    QJsonArray array;
    for (const QueueRow &row : rows)
        array.append(rowObject(row));
    const QJsonObject object{{QStringLiteral("format"), QLatin1String(snapshotFormat)},
                             {QStringLiteral("version"), formatVersion},
                             {QStringLiteral("journal"), double(journalSequence)},
                             {QStringLiteral("rows"), array}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QueueFormat::Verdict QueueFormat::readSnapshot(const QByteArray &bytes, QList<QueueRow> *rows,
                                               quint64 *journalSequence)
{
    bool parsed = false;
    const QJsonObject object = objectOf(bytes, &parsed);
    if (!parsed)
        return Damaged;
    const Verdict verdict = verdictOf(object, snapshotFormat);
    if (verdict != Usable)
        return verdict;
    qint64 sequence = 0;
    const QJsonValue array = object.value(QLatin1String("rows"));
    if (!readInteger(object.value(QLatin1String("journal")), 0, qint64(1) << 53, &sequence)
        || !array.isArray())
        return Damaged;
    QList<QueueRow> read;
    const QJsonArray values = array.toArray();
    read.reserve(values.size());
    for (const QJsonValue &value : values) {
        QueueRow row{};
        if (!readRow(value, &row))
            return Damaged;
        read.append(row);
    }
    *rows = read;
    *journalSequence = quint64(sequence);
    return Usable;
}

QByteArray QueueFormat::journalHeader()
{
    const QJsonObject object{{QStringLiteral("format"), QLatin1String(journalFormat)},
                             {QStringLiteral("version"), formatVersion}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray QueueFormat::journalRecord(const QueueRow &row, quint64 sequence)
{
    const QJsonObject object{{QStringLiteral("seq"), double(sequence)},
                             {QStringLiteral("row"), rowObject(row)}};
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return checkOf(json) + ' ' + json + '\n';
}

QueueFormat::Verdict QueueFormat::readJournal(const QByteArray &bytes, QList<Record> *records,
                                              qint64 *wholeBytes)
{
    records->clear();
    *wholeBytes = 0;
    int end = bytes.indexOf('\n');
    if (end < 0)
        return journalHeader().startsWith(bytes) ? Usable : Damaged;
    bool parsed = false;
    const QJsonObject header = objectOf(bytes.left(end), &parsed);
    const Verdict verdict = parsed ? verdictOf(header, journalFormat) : Damaged;
    if (verdict != Usable)
        return verdict;
    *wholeBytes = end + 1;
    for (int start = end + 1; (end = bytes.indexOf('\n', start)) >= 0; start = end + 1) {
        Record record{0, QueueRow{}};
        if (!readRecord(bytes.mid(start, end - start), &record)
            || (!records->isEmpty() && record.sequence != records->constLast().sequence + 1))
            break;
        records->append(record);
        *wholeBytes = end + 1;
    }
    return Usable;
}
