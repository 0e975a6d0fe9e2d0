#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "dlgmessage.h"
#include "waits.h"

class TestMessageDialog : public QObject
{
    Q_OBJECT

private:
    static void dragTo(QWidget *widget, QPoint local, Qt::MouseButton held)
    {
        QMouseEvent event(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    static QPushButton *button(CDlgMessage &dialog, const char *name)
    {
        return dialog.findChild<QPushButton *>(QLatin1String(name));
    }

private slots:
    void modes_data();
    void modes();
    void closingButtons_data();
    void closingButtons();
    void escapeLeavesUnconfirmed();
    void execReturnsAfterOk();
    void text_data();
    void text();
    void form();
    void dragByTitle();
    void pressOnButtonDoesNotDrag();
};

void TestMessageDialog::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("cancelShown");
    QTest::newRow("0 behaves as 2") << 0 << true;
    QTest::newRow("1 only OK") << 1 << false;
    QTest::newRow("2 OK and Cancel") << 2 << true;
    QTest::newRow("3 behaves as 2") << 3 << true;
}

void TestMessageDialog::modes()
{
    QFETCH(int, mode);
    QFETCH(bool, cancelShown);
    CDlgMessage dialog(nullptr, mode, QStringLiteral("\n确认删除？\n"));
    QVERIFY(dialog.isVisible());
    QVERIFY(button(dialog, "btnOk")->isVisible());
    QCOMPARE(button(dialog, "btnCancel")->isVisible(), cancelShown);
    QVERIFY(!dialog.confirmed);
}

void TestMessageDialog::closingButtons_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("OK") << "btnOk" << true;
    QTest::newRow("Cancel") << "btnCancel" << false;
    QTest::newRow("title close") << "btnTopClose" << false;
}

void TestMessageDialog::closingButtons()
{
    QFETCH(QString, buttonName);
    QFETCH(bool, confirmed);
    CDlgMessage dialog(nullptr, 2, QStringLiteral("text"));
    QTest::mouseClick(button(dialog, qPrintable(buttonName)), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.confirmed, confirmed);
}

void TestMessageDialog::escapeLeavesUnconfirmed()
{
    CDlgMessage dialog(nullptr, 2, QStringLiteral("text"));
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    dialog.exec();
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.confirmed);
}

void TestMessageDialog::execReturnsAfterOk()
{
    CDlgMessage dialog(nullptr, 1, QStringLiteral("text"));
    QTimer::singleShot(0, &dialog, [&dialog] {
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);
    });
    dialog.exec();
    QVERIFY(dialog.confirmed);
}

void TestMessageDialog::text_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("blocks");

    QTest::newRow("question") << "\n确认删除？\n" << "\n确认删除？\n" << 3;
    QTest::newRow("angle brackets stay literal")
        << "没有需要转码的文件。\n点击<添加文件>选择视频文件，或直接<拖拽>文件至窗口内。\n"
        << "没有需要转码的文件。\n点击<添加文件>选择视频文件，或直接<拖拽>文件至窗口内。\n" << 3;
    QTest::newRow("start failure") << "启动失败！\n错误码：-102" << "启动失败！\n错误码：-102" << 2;
    QTest::newRow("rich text is rendered") << "<b>粗体</b>" << "粗体" << 1;
}

void TestMessageDialog::text()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(int, blocks);
    CDlgMessage dialog(nullptr, 1, message);
    auto *edit = dialog.findChild<QTextEdit *>(QStringLiteral("textEdit"));
    QCOMPARE(edit->toPlainText(), shown);
    QCOMPARE(edit->document()->blockCount(), blocks);
    QVERIFY(edit->isReadOnly());
    QVERIFY(edit->textInteractionFlags() & Qt::TextSelectableByMouse);
}

void TestMessageDialog::form()
{
    CDlgMessage dialog(nullptr, 2, QString());
    QCOMPARE(dialog.objectName(), QStringLiteral("CDlgMessage"));
    QCOMPARE(dialog.size(), QSize(340, 211));
    QCOMPARE(dialog.minimumSize(), QSize(340, 175));
    QCOMPARE(int(dialog.windowFlags()), 0x80B);
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labelLogo"))->text(), QStringLiteral("提示"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->size(), QSize(54, 54));
    QVERIFY(dialog.styleSheet().contains(QLatin1String("QWidget#CDlgMessage")));
    // OK stands left of Cancel.
    QVERIFY(button(dialog, "btnOk")->x() < button(dialog, "btnCancel")->x());
    QCOMPARE(button(dialog, "btnOk")->text(), QStringLiteral("确定"));
    QCOMPARE(button(dialog, "btnCancel")->text(), QStringLiteral("取消"));
}

void TestMessageDialog::dragByTitle()
{
    CDlgMessage dialog(nullptr, 2, QStringLiteral("text"));
    QVERIFY(QTest::qWaitForWindowExposed(&dialog, processWaitMs));
    const QPoint start = dialog.pos();
    auto *title = dialog.findChild<QLabel *>(QStringLiteral("labelLogo"));
    QTest::mousePress(title, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    dragTo(title, QPoint(25, 15), Qt::LeftButton);
    QCOMPARE(dialog.pos(), start + QPoint(20, 10));
    QTest::mouseRelease(title, Qt::LeftButton, Qt::NoModifier, QPoint(25, 15));
}

void TestMessageDialog::pressOnButtonDoesNotDrag()
{
    CDlgMessage dialog(nullptr, 2, QStringLiteral("text"));
    QVERIFY(QTest::qWaitForWindowExposed(&dialog, processWaitMs));
    const QPoint start = dialog.pos();
    QTest::mousePress(button(dialog, "btnCancel"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    dragTo(button(dialog, "btnCancel"), QPoint(25, 15), Qt::LeftButton);
    dragTo(dialog.findChild<QTextEdit *>(QStringLiteral("textEdit"))->viewport(), QPoint(30, 20),
           Qt::LeftButton);
    QCOMPARE(dialog.pos(), start);
    QTest::mouseRelease(button(dialog, "btnCancel"), Qt::LeftButton, Qt::NoModifier, QPoint(25, 15));
}

QTEST_MAIN(TestMessageDialog)
#include "tst_messagedialog.moc"
