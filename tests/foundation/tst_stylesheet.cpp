#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "stylesheet.h"

class TestStyleSheet : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
    void unreadableSheetKeepsWidgetAsItWas();
    void collectionSheets_data();
    void collectionSheets();
};

void TestStyleSheet::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("QLabel{color:red;}") << "QLabel{color:red;}";
    QTest::newRow("cut at the first NUL") << QByteArray("QLabel{}\0QPushButton{}", 22) << "QLabel{}";
    QTest::newRow("NUL first") << QByteArray("\0QLabel{}", 9) << "";
    // UTF-8 bytes become one Latin-1 character each.
    QTest::newRow("non-ASCII bytes as Latin-1")
        << QByteArray("QLabel{font: 9pt \"\xe5\xbe\xae\"}")
        << QString::fromLatin1("QLabel{font: 9pt \"\xe5\xbe\xae\"}");
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestStyleSheet::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("sheet.css")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    QWidget widget;
    widget.setStyleSheet(QStringLiteral("QWidget{color:blue;}"));
    loadStyleSheet(&widget, file.fileName());
    QCOMPARE(widget.styleSheet(), expected);
}

void TestStyleSheet::unreadableSheetKeepsWidgetAsItWas()
{
    QWidget widget;
    loadStyleSheet(&widget, QStringLiteral(":/qss/css/Missing.css"));
    QCOMPARE(widget.styleSheet(), QString());
    widget.setStyleSheet(QStringLiteral("QWidget{color:blue;}"));
    loadStyleSheet(&widget, QStringLiteral(":/qss/css/Missing.css"));
    QCOMPARE(widget.styleSheet(), QStringLiteral("QWidget{color:blue;}"));
}

void TestStyleSheet::collectionSheets_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("selector");
    QTest::newRow("main window") << ":/qss/css/MainWindow.css" << "QWidget#MainWindowClass";
    QTest::newRow("settings dialog") << ":/qss/css/DlgAVSettings.css" << "QWidget#CDlgAVSettings";
    QTest::newRow("message dialog") << ":/qss/css/DlgMessage.css" << "QWidget#CDlgMessage";
    QTest::newRow("list row") << ":/qss/css/InputItem.css" << "QWidget#InputItem";
    QTest::newRow("player") << ":/qss/css/vlcplayer.css" << "QLabel#labelDisplay";
}

void TestStyleSheet::collectionSheets()
{
    QFETCH(QString, path);
    QFETCH(QString, selector);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // Stored with CR LF line ends and no lone LF.
    QVERIFY(bytes.count("\r\n") > 10);
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));

    QWidget widget;
    loadStyleSheet(&widget, path);
    QVERIFY(widget.styleSheet().contains(selector));
    QCOMPARE(widget.styleSheet().size(), bytes.size());
}

QTEST_MAIN(TestStyleSheet)
#include "tst_stylesheet.moc"
