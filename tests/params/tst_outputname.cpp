#include <QtTest>

#include "outputname.h"

// Output names of sources whose names reach the file system's limit.
class TestOutputName final : public QObject
{
    Q_OBJECT

private slots:
    void longNamesAreShortenedBetweenCharacters_data();
    void longNamesAreShortenedBetweenCharacters();
};

void TestOutputName::longNamesAreShortenedBetweenCharacters_data()
{
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("shortened");

    const QString prefix = QString::fromUtf8(outputNamePrefix);
    // The longest base name that keeps room for " (9999)" beside ".mp4".
    const int asciiRoom = maxFileNameBytes - takenNumberBytes - int(prefix.toUtf8().size()) - 4;
    QTest::newRow("ASCII, as long as fits") << QString(asciiRoom, 'a') << ".mp4" << false;
    QTest::newRow("ASCII, one byte more") << QString(asciiRoom + 1, 'a') << ".mp4" << true;
    QTest::newRow("ASCII source at the limit") << QString(251, 'a') << ".mkv" << true;
    // 3 bytes a character: a cut at the room's byte falls inside one.
    QTest::newRow("3-byte, as long as fits") << QString(asciiRoom / 3, QChar(0x4E2D)) << ".mp4" << false;
    QTest::newRow("3-byte source at the limit")
        << QStringLiteral("流浪者") + QString(74, QChar(0x5B57)) + QStringLiteral("第12集中英字幕") << ".mkv"
        << true;
    QTest::newRow("3-byte after ASCII, odd offsets")
        << QStringLiteral("ab") + QString(82, QChar(0x4E2D)) << ".mkv" << true;
    // 4 bytes a character (UTF-16 surrogate pairs).
    QTest::newRow("4-byte source at the limit") << QString::fromUtf8("😀").repeated(62) << ".wmv" << true;
    QTest::newRow("4-byte after one ASCII byte")
        << QStringLiteral("x") + QString::fromUtf8("𝄞").repeated(61) << ".flv" << true;
}

// The whole name and a " (9999)" fit 255 bytes; a shortened name keeps its
// start and its end whole, cut no more than a character short of the room,
// and stays valid UTF-8.
void TestOutputName::longNamesAreShortenedBetweenCharacters()
{
    QFETCH(QString, baseName);
    QFETCH(QString, extension);
    QFETCH(bool, shortened);
    const QByteArray base = baseName.toUtf8();
    const QByteArray ext = extension.toUtf8();
    // A name the source itself can have.
    QVERIFY(base.size() + ext.size() <= 255);

    const QByteArray fitted = fittedBaseName(outputNamePrefix, base, ext);
    const int bytes = int(QByteArray(outputNamePrefix).size() + fitted.size() + ext.size());
    QVERIFY2(bytes + int(QByteArrayLiteral(" (9999)").size()) <= 255, qPrintable(QString::number(bytes)));
    QCOMPARE(QString::fromUtf8(fitted).toUtf8(), fitted);
    QVERIFY(!QString::fromUtf8(fitted).contains(QChar::ReplacementCharacter));
    if (!shortened) {
        QCOMPARE(fitted, base);
        return;
    }
    const QString text = QString::fromUtf8(fitted);
    const int cut = int(text.indexOf(QStringLiteral("…")));
    QVERIFY(cut > 0);
    QVERIFY(baseName.startsWith(text.left(cut)));
    QVERIFY(baseName.endsWith(text.mid(cut + 1)));
    QVERIFY(text.mid(cut + 1).size() > 0);
    // Each end is at most one character (4 bytes) short of its share.
    QVERIFY2(bytes + takenNumberBytes > 255 - 2 * 4, qPrintable(QString::number(bytes)));
}

QTEST_APPLESS_MAIN(TestOutputName)
#include "tst_outputname.moc"
