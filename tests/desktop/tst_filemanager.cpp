#include <QDesktopServices>
#include <QTest>
#include <QUrl>

#include "filemanager.h"
#include "privatebus.h"
#include "testsupport.h"

// A finished file shown in the file manager, over a session bus of the
// test's own; the folder opened as any folder is when no file manager
// answers there.
class TestFileManager : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the desktop's handler of folders.
    void open(const QUrl &url) { opened << url; }

private:
    QTemporaryDir work;
    PrivateBus bus;
    QList<QUrl> opened;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void showsTheFileOrItsFolder_data();
    void showsTheFileOrItsFolder();
};

void TestFileManager::initTestCase()
{
    QVERIFY(bus.start());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

void TestFileManager::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestFileManager::showsTheFileOrItsFolder_data()
{
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<bool>("selected");
    QTest::newRow("file manager on the bus") << QStringList{"filemanager"} << true;
    QTest::newRow("none") << QStringList() << false;
}

void TestFileManager::showsTheFileOrItsFolder()
{
    QFETCH(QStringList, services);
    QFETCH(bool, selected);
    QVERIFY(bus.startFake(services));
    opened.clear();
    const QString path = work.filePath(QStringLiteral("Vantor转码-假期 旅行.mp4"));
    touch(path);

    FileManager manager;
    manager.showFile(path);
    if (selected) {
        // Percent-encoded, and no startup id.
        QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("ShowItems")),
                                  QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()) + '|'},
                                  30000);
        QVERIFY(opened.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(opened, QList<QUrl>{QUrl::fromLocalFile(work.path())}, 30000);
    }
}

QTEST_MAIN(TestFileManager)
#include "tst_filemanager.moc"
