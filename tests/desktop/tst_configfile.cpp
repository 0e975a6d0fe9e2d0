#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue.h"
#include "configfile.h"
#include "inputitem.h"
#include "mainwindow.h"
#include "resultcodes.h"

// Where conf_main.json lives, and that writing it never goes through a link
// or over something that is not a regular file.
class TestConfigFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *work = nullptr;

    QString at(const QString &name) const { return work->filePath(name); }
    QString configFolder() const { return at(QStringLiteral("xdg/vantor-converter")); }
    static QByteArray contentOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void location_data();
    void location();
    void neverWritesThrough_data();
    void neverWritesThrough();
    void optionLikeFolderReachesJobsAbsolute();
};

void TestConfigFile::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("vantor-converter"));
}

void TestConfigFile::init()
{
    work = new QTemporaryDir;
    qputenv("HOME", work->path().toUtf8());
    qputenv("XDG_CONFIG_HOME", at(QStringLiteral("xdg")).toUtf8());
    qunsetenv("XDG_STATE_HOME");
    QVERIFY(QDir().mkpath(at(QStringLiteral("cwd"))));
    QDir::setCurrent(at(QStringLiteral("cwd")));
}

void TestConfigFile::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    delete work;
    work = nullptr;
}

void TestConfigFile::location_data()
{
    // What is at conf_main.json in the working folder, and whether that one
    // is the file used.
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("localUsed");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("a file") << "file" << true;
    QTest::newRow("a link to nowhere") << "dangling" << true;
    QTest::newRow("a folder") << "folder" << true;
}

void TestConfigFile::location()
{
    QFETCH(QString, local);
    QFETCH(bool, localUsed);
    const QString localPath = at(QStringLiteral("cwd/conf_main.json"));
    if (local == QLatin1String("file"))
        write(localPath, "{}");
    else if (local == QLatin1String("dangling"))
        QVERIFY(QFile::link(at(QStringLiteral("nowhere")), localPath));
    else if (local == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(localPath));

    const ConfigFile config;
    QCOMPARE(config.path(), localUsed ? localPath : configFolder() + QStringLiteral("/conf_main.json"));
    QString dir = QStringLiteral("unchanged");
    QCOMPARE(config.load(dir), ResultUnusable);
    QCOMPARE(dir, QStringLiteral("unchanged"));
    // Reading creates nothing; the first write creates the folder.
    QVERIFY(!QFileInfo::exists(configFolder()));
    const int saved = config.save(work->path());
    QCOMPARE(saved, local == QLatin1String("file") || local.isEmpty() ? ResultOk : ResultUnusable);
    QCOMPARE(QFileInfo::exists(configFolder()), !localUsed);
    if (saved == ResultOk)
        QCOMPARE(contentOf(config.path()), "{\"VideosDir\":\"" + work->path().toUtf8() + "\"}");
}

void TestConfigFile::neverWritesThrough_data()
{
    // In which folder the odd conf_main.json is, and what it is.
    QTest::addColumn<bool>("inConfigFolder");
    QTest::addColumn<QString>("kind");
    QTest::newRow("working folder, link to a file") << false << "link";
    QTest::newRow("working folder, link to nowhere") << false << "dangling";
    QTest::newRow("working folder, link to a folder") << false << "folderlink";
    QTest::newRow("working folder, FIFO") << false << "fifo";
    QTest::newRow("config folder, link to a file") << true << "link";
    QTest::newRow("config folder, FIFO") << true << "fifo";
}

// The window starts as a user's would: it reads, finds the content unusable
// and would write its default, which must not happen.
void TestConfigFile::neverWritesThrough()
{
    QFETCH(bool, inConfigFolder);
    QFETCH(QString, kind);
    const QString folder = inConfigFolder ? configFolder() : at(QStringLiteral("cwd"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/conf_main.json");
    const QString target = at(QStringLiteral("precious.txt"));
    const QByteArray precious = "not a configuration, and not to be lost\n";
    write(target, precious);
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(target, path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(at(QStringLiteral("created-through-link")), path));
    else if (kind == QLatin1String("folderlink"))
        QVERIFY(QFile::link(work->path(), path));
    else
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    {
        // A FIFO would block an ordinary open for reading until the test times out.
        MainWindow window;
        const QString movies = work->path() + QStringLiteral("/Videos");
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(), movies);
        QCOMPARE(QString::fromUtf8(outputDir), movies);
    }
    const QFileInfo after(path);
    QCOMPARE(after.isSymLink(), kind != QLatin1String("fifo"));
    QCOMPARE(contentOf(target), precious);
    QVERIFY(!QFileInfo::exists(at(QStringLiteral("created-through-link"))));
    QVERIFY(!QFileInfo::exists(work->path() + QStringLiteral("/conf_main.json")));
    if (kind == QLatin1String("fifo")) {
        struct stat status = {};
        QCOMPARE(lstat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    }
}

void TestConfigFile::optionLikeFolderReachesJobsAbsolute()
{
    // A relative folder beginning with "-" would reach ffmpeg as an option;
    // a link to the file is read like the file.
    QVERIFY(QDir().mkpath(at(QStringLiteral("cwd/-y"))));
    write(at(QStringLiteral("stored.json")), "{\"VideosDir\":\"./sub/../-y/\"}");
    QVERIFY(QFile::link(at(QStringLiteral("stored.json")), at(QStringLiteral("cwd/conf_main.json"))));
    write(at(QStringLiteral("a.mp4")), "data");
    MainWindow window;
    QCOMPARE(window.addInputFile(at(QStringLiteral("a.mp4")).toUtf8()), ResultOk);
    auto *item = window.findChild<InputItem *>();
    QVERIFY(item);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("editOutputDir"))->text(),
             at(QStringLiteral("cwd/-y")));
    QCOMPARE(item->plannedOutputPath(), at(QStringLiteral("cwd/-y/Vantor转码-a.mp4")).toUtf8());
}

QTEST_MAIN(TestConfigFile)
#include "tst_configfile.moc"
