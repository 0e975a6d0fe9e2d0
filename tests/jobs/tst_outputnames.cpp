#include <QTest>

#include "outputnames.h"

class TestOutputNames : public QObject
{
    Q_OBJECT

private slots:
    void uniqueOutputPath_data();
    void uniqueOutputPath();
};

void TestOutputNames::uniqueOutputPath_data()
{
    QTest::addColumn<QByteArray>("planned");
    QTest::addColumn<QList<QByteArray>>("taken");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("free") << QByteArray("/o/Vantor转码-clip.mp4") << QList<QByteArray>{}
                          << QByteArray("/o/Vantor转码-clip.mp4");
    QTest::newRow("taken once") << QByteArray("/o/Vantor转码-clip.mp4")
                                << QList<QByteArray>{"/o/Vantor转码-clip.mp4"}
                                << QByteArray("/o/Vantor转码-clip (2).mp4");
    QTest::newRow("first free number")
        << QByteArray("/o/Vantor转码-clip.mp4")
        << QList<QByteArray>{"/o/Vantor转码-clip.mp4", "/o/Vantor转码-clip (2).mp4",
                             "/o/Vantor转码-clip (4).mp4"}
        << QByteArray("/o/Vantor转码-clip (3).mp4");
    QTest::newRow("dot in the folder, none in the name")
        << QByteArray("/o.d/Vantor转码-clip") << QList<QByteArray>{"/o.d/Vantor转码-clip"}
        << QByteArray("/o.d/Vantor转码-clip (2)");
    QTest::newRow("several dots") << QByteArray("/o/Vantor转码-a.b.mp4")
                                  << QList<QByteArray>{"/o/Vantor转码-a.b.mp4"}
                                  << QByteArray("/o/Vantor转码-a.b (2).mp4");
}

void TestOutputNames::uniqueOutputPath()
{
    QFETCH(QByteArray, planned);
    QFETCH(QList<QByteArray>, taken);
    QFETCH(QByteArray, expected);
    const QSet<QByteArray> set(taken.cbegin(), taken.cend());
    QCOMPARE(::uniqueOutputPath(planned, set), expected);
}

QTEST_MAIN(TestOutputNames)
#include "tst_outputnames.moc"
