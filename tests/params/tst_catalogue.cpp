#include <QtTest>

#include "avsettings.h"
#include "avsettingsprinter.h"
#include "catalogue.h"

Q_DECLARE_METATYPE(CatalogueTable *)

class TestCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondFillChangesNothing_data();
    void secondFillChangesNothing();
    void lookupByKey_data();
    void lookupByKey();
    void reverseLookup_data();
    void reverseLookup();
    void acceptedInput_data();
    void acceptedInput();
    void defaultRecord();
    void applyContainer_data();
    void applyContainer();
    void applyVideoQuality_data();
    void applyVideoQuality();
    void applyAudioQuality_data();
    void applyAudioQuality();
};

void TestCatalogue::initTestCase()
{
    initCatalogue();
}

void TestCatalogue::secondFillChangesNothing_data()
{
    QTest::addColumn<CatalogueTable *>("table");
    QTest::addColumn<int>("size");

    QTest::newRow("containerNames") << &containerNames << 4;
    QTest::newRow("containerExtensions") << &containerExtensions << 4;
    QTest::newRow("videoCodecNames") << &videoCodecNames << 7;
    QTest::newRow("videoCodecIds") << &videoCodecIds << 7;
    QTest::newRow("audioCodecNames") << &audioCodecNames << 4;
    QTest::newRow("audioCodecIds") << &audioCodecIds << 4;
    QTest::newRow("resolutions") << &resolutions << 4;
    QTest::newRow("qualityLevels") << &qualityLevels << 4;
    QTest::newRow("inputExtensions") << &inputExtensions << 21;
}

void TestCatalogue::secondFillChangesNothing()
{
    QFETCH(CatalogueTable *, table);
    QFETCH(int, size);

    const CatalogueTable before = *table;
    initCatalogue();
    QCOMPARE(static_cast<int>(table->size()), size);
    QVERIFY(*table == before);
    // Keys run from 0 without gaps, which is what makes a combo row a key.
    QCOMPARE(table->begin()->first, 0);
    QCOMPARE(table->rbegin()->first, size - 1);
}

void TestCatalogue::lookupByKey_data()
{
    QTest::addColumn<CatalogueTable *>("table");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("resolution -1 has no entry") << &resolutions << -1 << false << QByteArray();
    QTest::newRow("extension above 3 has none") << &containerExtensions << 4 << false << QByteArray();
    QTest::newRow("video Copy is an encoder name") << &videoCodecIds << 6 << true << QByteArray("copy");
    QTest::newRow("audio Copy is an encoder name") << &audioCodecIds << 3 << true << QByteArray("copy");
}

void TestCatalogue::lookupByKey()
{
    QFETCH(CatalogueTable *, table);
    QFETCH(int, key);
    QFETCH(bool, found);
    QFETCH(QByteArray, text);

    const QByteArray *entry = catalogueText(*table, key);
    QCOMPARE(entry != nullptr, found);
    if (entry)
        QCOMPARE(*entry, text);
}

void TestCatalogue::reverseLookup_data()
{
    QTest::addColumn<CatalogueTable *>("table");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("key");

    QTest::newRow("container text") << &containerNames << QByteArray(".avi (默认 H.264-MP3)") << true << 2;
    QTest::newRow("last codec name") << &videoCodecNames << QByteArray("Copy") << true << 6;
    QTest::newRow("quality level") << &qualityLevels << QByteArray("默认") << true << 3;
    QTest::newRow("case differs") << &audioCodecNames << QByteArray("aac") << false << 99;
    QTest::newRow("trailing space") << &resolutions << QByteArray("720x480 ") << false << 99;
    QTest::newRow("empty text") << &videoCodecNames << QByteArray() << false << 99;
}

void TestCatalogue::reverseLookup()
{
    QFETCH(CatalogueTable *, table);
    QFETCH(QByteArray, text);
    QFETCH(bool, found);
    QFETCH(int, key);

    int result = 99;
    QCOMPARE(catalogueKey(*table, text, &result), found);
    QCOMPARE(result, key);
}

void TestCatalogue::acceptedInput_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("upper-case mkv") << "Clip.MKV" << true;
    QTest::newRow("mixed-case rmvb") << "clip.RmVb" << true;
    QTest::newRow("two dots, last counts") << "a.mkv.mov" << true;
    QTest::newRow("webm") << "clip.webm" << true;
    QTest::newRow("a camera's upper-case MTS") << "00001.MTS" << true;
    QTest::newRow("3g2 beside 3gp") << "phone.3G2" << true;
    QTest::newRow("no dot") << "clip" << false;
    QTest::newRow("trailing dot") << "clip." << false;
    QTest::newRow("extension only inside") << "clip.mp4.txt" << false;
    QTest::newRow("full-width letters stay") << "clip.ＭＰ４" << false;
    QTest::newRow("Chinese base name") << "视频 一.Mp4" << true;
}

void TestCatalogue::acceptedInput()
{
    QFETCH(QString, fileName);
    QFETCH(bool, accepted);

    const QString suffix = QFileInfo(fileName).suffix();
    QCOMPARE(isAcceptedInputSuffix(suffix.toUtf8()), accepted);

    // The file dialog offers exactly what is accepted: among all formats and
    // as an entry of its own, before "All Files".
    const QStringList entries = inputFileFilter().split(QStringLiteral(";;"));
    const QString pattern = "*." + suffix.toLower();
    QVERIFY(entries.first().startsWith(QLatin1String("All Formats (")));
    QCOMPARE(entries.first().chopped(1).mid(13).split(' ').contains(pattern), accepted);
    QCOMPARE(entries.contains(suffix.toUpper() + " (" + pattern + ')'), accepted && !suffix.isEmpty());
    QCOMPARE(entries.size(), int(inputExtensions.size()) + 2);
    QCOMPARE(entries.last(), QStringLiteral("All Files (*.*)"));
}

void TestCatalogue::defaultRecord()
{
    QCOMPARE(makeAVSettings(0, 1, 1), record(0, 2, 0, -1, 512, 24, 18, 128, 44100, 1, 1));
    QCOMPARE(makeAVSettings(3, 3, 0), record(3, 4, 2, -1, -1, -1, -1, 32, 24000, 3, 0));
}

void TestCatalogue::applyContainer_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<AVSettings>("expected");

    // The record made for .mp4 with the codecs changed to 5 and 3 by hand:
    // only the container and the codecs may move.
    QTest::newRow(".mp4") << 0 << record(0, 2, 0, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow(".flv") << 1 << record(1, 2, 0, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow(".avi") << 2 << record(2, 2, 1, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow(".wmv") << 3 << record(3, 4, 2, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("7 keeps the codecs") << 7 << record(7, 5, 3, -1, 512, 24, 18, 128, 44100, 1, 1);
    QTest::newRow("-1 keeps the codecs") << -1 << record(-1, 5, 3, -1, 512, 24, 18, 128, 44100, 1, 1);
}

void TestCatalogue::applyContainer()
{
    QFETCH(int, index);
    QFETCH(AVSettings, expected);

    AVSettings settings = makeAVSettings(0, 1, 1);
    settings.videoCodec = 5;
    settings.audioCodec = 3;
    ::applyContainer(settings, index);
    QCOMPARE(settings, expected);
}

void TestCatalogue::applyVideoQuality_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("videoBitrate");
    QTest::addColumn<int>("crf");
    QTest::addColumn<int>("frameRate");

    // Unknown levels keep the values of the record (bitrate 700, CRF 40, 25 fps).
    QTest::newRow("低质量") << 0 << 256 << 32 << 12;
    QTest::newRow("中质量") << 1 << 512 << 24 << 18;
    QTest::newRow("高质量") << 2 << 1024 << 18 << 30;
    QTest::newRow("默认") << 3 << -1 << -1 << -1;
    QTest::newRow("4 is unknown") << 4 << 700 << 40 << 25;
    QTest::newRow("-1 is unknown") << -1 << 700 << 40 << 25;
}

void TestCatalogue::applyVideoQuality()
{
    QFETCH(int, level);
    QFETCH(int, videoBitrate);
    QFETCH(int, crf);
    QFETCH(int, frameRate);

    AVSettings settings = record(2, 0, 1, 1, 700, 40, 25, 96, 22050, 0, 2);
    ::applyVideoQuality(settings, level);
    QCOMPARE(settings, record(2, 0, 1, 1, videoBitrate, crf, frameRate, 96, 22050, level, 2));
}

void TestCatalogue::applyAudioQuality_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("audioBitrate");
    QTest::addColumn<int>("sampleRate");

    QTest::newRow("低质量") << 0 << 32 << 24000;
    QTest::newRow("中质量") << 1 << 128 << 44100;
    QTest::newRow("高质量") << 2 << 256 << 48000;
    QTest::newRow("默认") << 3 << -1 << -1;
    QTest::newRow("4 is unknown") << 4 << 96 << 22050;
}

void TestCatalogue::applyAudioQuality()
{
    QFETCH(int, level);
    QFETCH(int, audioBitrate);
    QFETCH(int, sampleRate);

    AVSettings settings = record(2, 0, 1, 1, 700, 40, 25, 96, 22050, 0, 2);
    ::applyAudioQuality(settings, level);
    QCOMPARE(settings, record(2, 0, 1, 1, 700, 40, 25, audioBitrate, sampleRate, 0, level));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
