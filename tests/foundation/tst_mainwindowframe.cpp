#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include "mainwindow.h"
#include "styleconstants.h"
#include "vlcplayer.h"
#include "windowplacement.h"
#include "waits.h"

Q_DECLARE_METATYPE(QMargins)

class TestMainWindowFrame : public QObject
{
    Q_OBJECT

private:
    // A move with the button held, as the window system reports it; the
    // global position is taken before the window moves.
    static void dragTo(QWidget *widget, QPoint local)
    {
        QMouseEvent event(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    // The form's object of that name; the preview player inside the window
    // reuses some names (label, horizontalLayout) for its own form.
    template<typename T = QWidget>
    static T *child(QWidget *window, const QString &name)
    {
        const QWidget *player = window->findChild<vlcplayer *>();
        for (T *object : window->findChildren<T *>(name)) {
            QObject *up = object;
            while (up && up != player)
                up = up->parent();
            if (!up)
                return object;
        }
        return nullptr;
    }
    template<typename T = QWidget>
    static T *child(QWidget *window, const char *name)
    {
        return child<T>(window, QLatin1String(name));
    }

private slots:
    void widgetTree_data();
    void widgetTree();
    void layouts_data();
    void layouts();
    void titleStripSpacers();
    void texts_data();
    void texts();
    void startUpState();
    void setMainState_data();
    void setMainState();
    void unknownStateChangesNothing();
    void centredPosition_data();
    void centredPosition();
    void dragByTitleStrip();
    void pressOnButtonDoesNotDrag();
    void minimiseAndRestore();
    void closeWhileIdle();
};

void TestMainWindowFrame::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    QTest::addColumn<int>("hPolicy");
    QTest::addColumn<int>("vPolicy");

    const int MAX = QWIDGETSIZE_MAX;
    const int F = QSizePolicy::Fixed, Mn = QSizePolicy::Minimum, P = QSizePolicy::Preferred;
    const QSize none(0, 0), unbounded(MAX, MAX);
    auto row = [](const char *n, const char *c, const char *p, QSize mn, QSize mx, int h, int v) {
        QTest::newRow(n) << n << c << p << mn << mx << h << v;
    };
    row("frame_top", "QFrame", "centralWidget", QSize(800, 40), QSize(MAX, 40), Mn, F);
    row("mainLabelLogo", "QLabel", "frame_top", QSize(25, 25), QSize(25, 25), P, F);
    row("mainLabelLogoStr", "QLabel", "frame_top", QSize(0, 40), QSize(MAX, 40), P, F);
    row("btnQqUrl", "QPushButton", "frame_top", none, unbounded, Mn, Mn);
    row("btnCompanyUrl", "QPushButton", "frame_top", QSize(50, 0), QSize(50, MAX), Mn, Mn);
    row("btnTopMin", "QPushButton", "frame_top", QSize(15, 15), QSize(15, 15), F, F);
    row("btnTopClose", "QPushButton", "frame_top", QSize(15, 15), QSize(15, 15), F, F);
    row("frame_bk", "QFrame", "centralWidget", none, unbounded, P, P);
    row("stackInput", "QStackedWidget", "frame_bk", QSize(467, 297), unbounded, Mn, Mn);
    row("page_teach", "QWidget", "stackInput", none, unbounded, P, P);
    row("labelTeach", "QLabel", "page_teach", none, unbounded, P, P);
    row("page_list", "QWidget", "stackInput", none, unbounded, P, P);
    row("listInput", "QListWidget", "page_list", none, unbounded, QSizePolicy::Expanding, QSizePolicy::Expanding);
    row("frame_addfile", "QFrame", "frame_bk", QSize(467, 46), QSize(MAX, 46), P, F);
    row("btnInputFile", "QPushButton", "frame_addfile", QSize(100, 32), QSize(100, 32), F, F);
    row("btnInputClear", "QPushButton", "frame_addfile", QSize(100, 32), QSize(100, 32), F, F);
    row("labelBatchProgress", "QLabel", "frame_addfile", QSize(0, 32), QSize(MAX, 32),
        QSizePolicy::Expanding, F);
    row("btnConvertPause", "QPushButton", "frame_addfile", QSize(24, 24), QSize(24, 24), F, F);
    row("frameVlc", "QFrame", "frame_bk", QSize(310, 344), unbounded, Mn, Mn);
    row("vlcLabel", "QLabel", "frameVlc", QSize(300, 32), unbounded, P, F);
    row("frameBottom", "QFrame", "frame_bk", none, unbounded, P, P);
    row("label", "QLabel", "frameBottom", QSize(55, 23), QSize(55, 23), P, P);
    row("cboxVContainer", "QComboBox", "frameBottom", QSize(330, 23), QSize(MAX, 23), Mn, F);
    row("btnQualitySettings", "QPushButton", "frameBottom", QSize(25, 22), QSize(25, 22), Mn, F);
    row("label_2", "QLabel", "frameBottom", QSize(55, 23), QSize(55, 23), F, Mn);
    row("cboxVQuality", "QComboBox", "frameBottom", QSize(84, 23), QSize(84, 23), F, F);
    row("labelCustomised", "QLabel", "frameBottom", QSize(140, 23), QSize(140, 23), F, F);
    row("label_5", "QLabel", "frameBottom", QSize(55, 23), QSize(55, 23), F, Mn);
    row("cboxAQuality", "QComboBox", "frameBottom", QSize(84, 23), QSize(84, 23), F, F);
    row("label_4", "QLabel", "frameBottom", QSize(55, 23), QSize(55, 23), Mn, F);
    row("editOutputDir", "QLineEdit", "frameBottom", QSize(330, 23), QSize(MAX, 23), Mn, F);
    row("btnOutputDir", "QPushButton", "frameBottom", QSize(25, 22), QSize(25, 22), F, F);
    row("btnOutputDir2", "QPushButton", "frameBottom", QSize(25, 22), QSize(25, 22), F, F);
    row("applyAll", "QCheckBox", "frameBottom", QSize(110, 23), QSize(110, 23), F, F);
    row("labelEndAction", "QLabel", "frameBottom", QSize(104, 23), QSize(104, 23), F, F);
    row("cboxEndAction", "QComboBox", "frameBottom", QSize(90, 23), QSize(90, 23), F, F);
    row("btnConvertStart", "QPushButton", "frameBottom", QSize(310, 59), QSize(310, 59), Mn, F);
}

void TestMainWindowFrame::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    QFETCH(int, hPolicy);
    QFETCH(int, vPolicy);

    MainWindow window;
    QWidget *widget = child(&window, name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->minimumSize(), minimum);
    QCOMPARE(widget->maximumSize(), maximum);
    QCOMPARE(int(widget->sizePolicy().horizontalPolicy()), hPolicy);
    QCOMPARE(int(widget->sizePolicy().verticalPolicy()), vPolicy);
}

void TestMainWindowFrame::layouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QMargins>("margins");
    QTest::addColumn<QStringList>("items");

    auto row = [](const char *n, int s, QMargins m, QStringList items) {
        QTest::newRow(n) << n << s << m << items;
    };
    const QMargins zero(0, 0, 0, 0);
    row("verticalLayout_3", 0, QMargins(0, 0, 0, 1), {"frame_top", "horizontalLayout_7"});
    row("verticalLayout_6", 0, zero, {"Layout_top"});
    row("horizontalLayout_7", 0, QMargins(1, 0, 1, 0), {"frame_bk"});
    row("verticalLayout_8", 12, QMargins(6, 6, 6, 6), {"horizontalLayout_8", "frameBottom"});
    row("horizontalLayout_8", 8, zero, {"vl_topleft", "frameVlc"});
    row("vl_topleft", 0, zero, {"stackInput", "frame_addfile"});
    row("verticalLayout_2", 0, zero, {"labelTeach"});
    row("verticalLayout", 0, zero, {"listInput"});
    row("horizontalLayout_2", 15, QMargins(11, 7, 11, 7),
        {"btnInputFile", "btnInputClear", "labelBatchProgress", "btnConvertPause"});
    row("verticalLayout_5", 0, zero, {"vlcLayout"});
    row("vlcLayout", 0, zero, {"vlcLabel", "vlcplayer"});
    row("horizontalLayout_5", 10, QMargins(0, 3, 0, 3), {"verticalLayout_4", "verticalLayout_7"});
    row("verticalLayout_4", 9, QMargins(5, 0, 0, 0), {"horizontalLayout", "horizontalLayout_3", "horizontalLayout_4"});
    row("horizontalLayout", 3, zero, {"label", "cboxVContainer", "btnQualitySettings"});
    row("horizontalLayout_3", 3, zero, {"label_2", "cboxVQuality", "labelCustomised", "<spacer>", "label_5", "cboxAQuality", "<spacer>"});
    row("horizontalLayout_4", 3, zero, {"label_4", "editOutputDir", "btnOutputDir", "btnOutputDir2"});
    row("verticalLayout_7", 9, zero, {"hl_runOptions", "btnConvertStart"});
    row("hl_runOptions", 3, zero, {"applyAll", "labelEndAction", "cboxEndAction"});
}

void TestMainWindowFrame::layouts()
{
    QFETCH(QString, name);
    QFETCH(int, spacing);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, items);

    MainWindow window;
    auto *layout = child<QLayout>(&window, name);
    QVERIFY2(layout, qPrintable(name));
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), margins);
    QStringList actual;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget())
            actual << item->widget()->objectName();
        else if (item->layout())
            actual << item->layout()->objectName();
        else
            actual << QStringLiteral("<spacer>");
    }
    QCOMPARE(actual, items);
}

void TestMainWindowFrame::titleStripSpacers()
{
    // Only spacer C expands, which pushes the buttons to the right edge.
    MainWindow window;
    auto *layout = window.findChild<QLayout *>(QStringLiteral("Layout_top"));
    QVERIFY(layout);
    QCOMPARE(layout->count(), 13);
    const QList<QSize> hints = {{13, 30}, {5, 13}, {40, 40}, {20, 20}, {23, 20}, {14, 30}, {17, 30}};
    const QList<QSizePolicy::Policy> policies = {QSizePolicy::Fixed, QSizePolicy::Minimum,
        QSizePolicy::Expanding, QSizePolicy::Minimum, QSizePolicy::Preferred,
        QSizePolicy::Fixed, QSizePolicy::Fixed};
    for (int i = 0; i < hints.size(); ++i) {
        QSpacerItem *spacer = layout->itemAt(2 * i)->spacerItem();
        QVERIFY(spacer);
        QCOMPARE(spacer->sizeHint(), hints.at(i));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), policies.at(i));
    }
    QCOMPARE(layout->itemAt(11)->widget()->objectName(), QStringLiteral("btnTopClose"));
}

void TestMainWindowFrame::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("caption") << "mainLabelLogoStr" << "Vantor视频转换器 v3.1.3" << "";
    QTest::newRow("company") << "btnCompanyUrl" << "访问官网" << "访问官网";
    QTest::newRow("minimise") << "btnTopMin" << "" << "最小化";
    QTest::newRow("close") << "btnTopClose" << "" << "退出";
    QTest::newRow("add") << "btnInputFile" << "    添加视频" << "";
    QTest::newRow("clear") << "btnInputClear" << "    清空列表" << "";
    QTest::newRow("pane caption") << "vlcLabel" << "支持文件拖拽，双击文件可播放视频" << "";
    QTest::newRow("container label") << "label" << "视频格式:" << "";
    QTest::newRow("settings") << "btnQualitySettings" << "" << "设置输入格式";
    QTest::newRow("video label") << "label_2" << "视频质量:" << "";
    QTest::newRow("audio label") << "label_5" << "音频质量:" << "";
    QTest::newRow("folder label") << "label_4" << "输出目录:" << "";
    QTest::newRow("choose folder") << "btnOutputDir" << "" << "选择输出文件夹";
    QTest::newRow("open folder") << "btnOutputDir2" << "" << "打开文件夹";
    QTest::newRow("apply all") << "applyAll" << "应用到所有" << "";
    QTest::newRow("start") << "btnConvertStart" << "开始转码" << "";
}

void TestMainWindowFrame::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    MainWindow window;
    QWidget *widget = child(&window, name);
    QVERIFY(widget);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else
        QCOMPARE(qobject_cast<QAbstractButton *>(widget)->text(), text);
    QCOMPARE(widget->toolTip(), toolTip);
}

void TestMainWindowFrame::startUpState()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindowClass"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Vantor视频转换器"));
    QCOMPARE(window.size(), QSize(800, 510));
    QCOMPARE(window.minimumSize(), QSize(800, 510));
    QCOMPARE(window.maximumSize(), QSize(800, 510));
    QCOMPARE(int(window.windowFlags()), 0x801);
    QVERIFY(window.testAttribute(Qt::WA_AlwaysShowToolTips));
    QVERIFY(window.acceptDrops());
    QVERIFY(window.isVisible());
    QVERIFY(window.styleSheet().contains(QLatin1String("QWidget#MainWindowClass")));

    auto *qq = child<QPushButton>(&window, "btnQqUrl");
    QVERIFY(qq->text().startsWith(QStringLiteral("官方QQ交流群：")));
    QVERIFY(qq->text().size() > QStringLiteral("官方QQ交流群：").size());
    QCOMPARE(qq->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(child(&window, "btnTopClose")->cursor().shape(), Qt::ArrowCursor);

    auto *applyAll = child<QCheckBox>(&window, "applyAll");
    QVERIFY(applyAll->isCheckable());
    QVERIFY(applyAll->isChecked());
    for (const char *name : {"cboxVContainer", "cboxVQuality", "cboxAQuality"})
        QCOMPARE(child(&window, name)->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QStackedWidget>(&window, "stackInput")->currentIndex(), 0);
    QCOMPARE(child(&window, "btnConvertStart")->styleSheet(), QString::fromLatin1(convertDisableStyle));
}

void TestMainWindowFrame::setMainState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("controlsEnabled");

    QTest::newRow("empty") << int(MainWindow::MainStateEmpty) << 0 << "开始转码"
                           << QString::fromLatin1(convertDisableStyle) << true;
    QTest::newRow("ready") << int(MainWindow::MainStateReady) << 1 << "开始转码"
                           << QString::fromLatin1(convertStartStyle) << true;
    QTest::newRow("converting") << int(MainWindow::MainStateConverting) << 1 << "取消转码"
                                << QString::fromLatin1(convertStopStyle) << false;
}

void TestMainWindowFrame::setMainState()
{
    QFETCH(int, state);
    QFETCH(int, page);
    QFETCH(QString, text);
    QFETCH(QString, style);
    QFETCH(bool, controlsEnabled);

    MainWindow window;
    // Go through another state first so that every property really changes.
    window.setMainState(state == MainWindow::MainStateConverting ? MainWindow::MainStateEmpty
                                                                 : MainWindow::MainStateConverting);
    window.setMainState(state);
    QCOMPARE(child<QStackedWidget>(&window, "stackInput")->currentIndex(), page);
    auto *start = child<QPushButton>(&window, "btnConvertStart");
    QCOMPARE(start->text(), text);
    QCOMPARE(start->styleSheet(), style);
    QVERIFY(start->isEnabled());
    for (const char *name : {"applyAll", "cboxVContainer", "btnQualitySettings", "cboxVQuality",
                             "cboxAQuality", "btnOutputDir"})
        QCOMPARE(child(&window, name)->isEnabled(), controlsEnabled);
    for (const char *name : {"btnInputFile", "btnInputClear", "btnOutputDir2", "listInput"})
        QVERIFY(child(&window, name)->isEnabled());
}

void TestMainWindowFrame::unknownStateChangesNothing()
{
    MainWindow window;
    window.setMainState(MainWindow::MainStateConverting);
    window.setMainState(3);
    window.setMainState(-1);
    auto *start = child<QPushButton>(&window, "btnConvertStart");
    QCOMPARE(start->text(), QStringLiteral("取消转码"));
    QCOMPARE(start->styleSheet(), QString::fromLatin1(convertStopStyle));
    QVERIFY(!child(&window, "applyAll")->isEnabled());
}

void TestMainWindowFrame::centredPosition_data()
{
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("full hd, main window") << QSize(1920, 1080) << QSize(800, 510) << QPoint(560, 285);
    QTest::newRow("one pixel larger") << QSize(801, 511) << QSize(800, 510) << QPoint(0, 0);
    QTest::newRow("full hd, message") << QSize(1920, 1080) << QSize(340, 211) << QPoint(790, 434);
    QTest::newRow("full hd, settings") << QSize(1920, 1080) << QSize(396, 450) << QPoint(762, 315);
    // Truncation toward zero, not flooring: -1 / 2 is 0 and -3 / 2 is -1.
    QTest::newRow("smaller desktop") << QSize(799, 507) << QSize(800, 510) << QPoint(0, -1);
}

void TestMainWindowFrame::centredPosition()
{
    QFETCH(QSize, desktop);
    QFETCH(QSize, window);
    QFETCH(QPoint, expected);
    QCOMPARE(::centredPosition(desktop.width(), desktop.height(), window.width(), window.height()),
             expected);
}

void TestMainWindowFrame::dragByTitleStrip()
{
    MainWindow window;
    QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
    const QPoint start = window.pos();
    QWidget *caption = child(&window, "mainLabelLogoStr");
    const QPoint grab(10, 10);

    QTest::mousePress(caption, Qt::LeftButton, Qt::NoModifier, grab);
    dragTo(caption, grab + QPoint(30, 0));
    QCOMPARE(window.pos(), start + QPoint(30, 0));

    // The window followed, so the grabbed point is under the cursor again.
    QTest::mouseRelease(caption, Qt::LeftButton, Qt::NoModifier, grab);
    dragTo(caption, grab + QPoint(60, 20));
    QCOMPARE(window.pos(), start + QPoint(30, 0));
}

void TestMainWindowFrame::pressOnButtonDoesNotDrag()
{
    MainWindow window;
    QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
    const QPoint start = window.pos();
    // The start button does nothing with an empty list.
    QWidget *button = child(&window, "btnConvertStart");
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    dragTo(button, QPoint(45, 25));
    dragTo(child(&window, "frame_addfile"), QPoint(200, 20));
    QCOMPARE(window.pos(), start);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(45, 25));
}

void TestMainWindowFrame::minimiseAndRestore()
{
    MainWindow window;
    QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
    const QRect geometry = window.geometry();
    QTest::mouseClick(child(&window, "btnTopMin"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.isMinimized(), processWaitMs);
    window.showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isMinimized(), processWaitMs);
    QCOMPARE(window.geometry(), geometry);
}

void TestMainWindowFrame::closeWhileIdle()
{
    MainWindow window;
    QVERIFY(QTest::qWaitForWindowExposed(&window, processWaitMs));
    QTest::mouseClick(child(&window, "btnTopClose"), Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestMainWindowFrame)
#include "tst_mainwindowframe.moc"
