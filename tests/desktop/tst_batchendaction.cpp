#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

#include "batchendaction.h"
#include "dlgmessage.h"
#include "privatebus.h"
#include "waits.h"

Q_DECLARE_METATYPE(BatchEndAction::Choice)

// The action at a batch's end, on a system bus of the test's own with a fake
// logind that records each call.
class TestBatchEndAction : public QObject
{
    Q_OBJECT

private:
    PrivateBus bus;

    static CDlgMessage *countdownOf(QWidget &window) { return window.findChild<CDlgMessage *>(); }
    static QString textOf(const QPointer<CDlgMessage> &dialog)
    {
        return dialog ? dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText()
                      : QStringLiteral("<closed>");
    }

private slots:
    void initTestCase();
    void batchEnds_data();
    void batchEnds();
};

void TestBatchEndAction::initTestCase()
{
    QVERIFY(bus.start("DBUS_SYSTEM_BUS_ADDRESS"));
}

void TestBatchEndAction::batchEnds_data()
{
    using Choices = QList<BatchEndAction::Choice>;
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<Choices>("offered");
    QTest::addColumn<BatchEndAction::Choice>("choice");
    // How the countdown ends: "wait" for it, or the button pressed.
    QTest::addColumn<QString>("answer");
    // The text at the countdown's first second, and logind's call ("" for
    // none) or "quit".
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("outcome");
    const QStringList logind{"logind"};
    const Choices all{BatchEndAction::DoNothing, BatchEndAction::Quit, BatchEndAction::Sleep,
                      BatchEndAction::PowerOff};
    QTest::newRow("sleep when the count ends")
        << logind << all << BatchEndAction::Sleep << "wait"
        << "转码任务已完成，1 秒后将进入睡眠。" << "Suspend true";
    QTest::newRow("power off when the count ends")
        << logind << all << BatchEndAction::PowerOff << "wait"
        << "转码任务已完成，1 秒后将关机。" << "PowerOff true";
    QTest::newRow("power off at once") << logind << all << BatchEndAction::PowerOff << "btnOk"
                                       << "" << "PowerOff true";
    QTest::newRow("power off cancelled") << logind << all << BatchEndAction::PowerOff
                                         << "btnCancel" << "" << "";
    QTest::newRow("quit when the count ends")
        << logind << all << BatchEndAction::Quit << "wait"
        << "转码任务已完成，1 秒后将退出程序。" << "quit";
    QTest::newRow("quit closed") << logind << all << BatchEndAction::Quit << "btnTopClose" << ""
                                 << "";
    QTest::newRow("nothing to do") << logind << all << BatchEndAction::DoNothing << "" << "" << "";
    QTest::newRow("logind that cannot suspend")
        << QStringList{"logind", "cannot-suspend"}
        << Choices{BatchEndAction::DoNothing, BatchEndAction::Quit, BatchEndAction::PowerOff}
        << BatchEndAction::Sleep << "" << "" << "";
    QTest::newRow("no logind") << QStringList() << Choices{BatchEndAction::DoNothing, BatchEndAction::Quit}
                               << BatchEndAction::PowerOff << "" << "" << "";
}

// A countdown that ends in no action is followed by a sleep counted down the
// same way: once its call arrives, a call or quit due before it would have
// come first.
void TestBatchEndAction::batchEnds()
{
    QFETCH(QStringList, services);
    QFETCH(QList<BatchEndAction::Choice>, offered);
    QFETCH(BatchEndAction::Choice, choice);
    QFETCH(QString, answer);
    QFETCH(QString, text);
    QFETCH(QString, outcome);
    QVERIFY(bus.startFake(services));
    QWidget window;
    window.show();
    BatchEndAction action(&window);
    QSignalSpy probed(&action, &BatchEndAction::offeredChoicesChanged);
    QSignalSpy quit(&action, &BatchEndAction::quitRequested);
    action.probe();
    QTRY_COMPARE_WITH_TIMEOUT(probed.count(), 1, processWaitMs);
    QCOMPARE(action.offeredChoices(), offered);

    action.setCountdownSeconds(2);
    action.setChoice(choice);
    QCOMPARE(action.start(), !answer.isEmpty());
    if (!answer.isEmpty()) {
        const QPointer<CDlgMessage> countdown = countdownOf(window);
        QVERIFY(countdown);
        QVERIFY(countdown->isVisible());
        QVERIFY2(textOf(countdown).contains(QStringLiteral("2 秒后")), qPrintable(textOf(countdown)));
        QCOMPARE(action.start(), false);
        if (answer == QLatin1String("wait"))
            QTRY_COMPARE_WITH_TIMEOUT(textOf(countdown), text, processWaitMs);
        else
            countdown->findChild<QPushButton *>(answer)->click();
    }

    const QStringList calls{"Suspend", "PowerOff"};
    if (outcome.isEmpty() && !answer.isEmpty()) {
        action.setChoice(BatchEndAction::Sleep);
        QVERIFY(action.start());
        QTRY_COMPARE_WITH_TIMEOUT(bus.callsOf(QStringLiteral("Suspend")), QStringList{"true"}, processWaitMs);
        outcome = QStringLiteral("Suspend true");
    } else if (outcome == QLatin1String("quit")) {
        QTRY_COMPARE_WITH_TIMEOUT(quit.count(), 1, processWaitMs);
    } else if (!outcome.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(!bus.callsOf(outcome.section(QLatin1Char(' '), 0, 0)).isEmpty(), processWaitMs);
    }
    QStringList made;
    for (const QString &call : calls) {
        for (const QString &argument : bus.callsOf(call))
            made << call + QLatin1Char(' ') + argument;
    }
    QCOMPARE(made.join(QLatin1Char(',')), outcome == QLatin1String("quit") ? QString() : outcome);
    QCOMPARE(quit.count(), outcome == QLatin1String("quit") ? 1 : 0);
    QTRY_VERIFY_WITH_TIMEOUT(!countdownOf(window), processWaitMs);
}

QTEST_MAIN(TestBatchEndAction)
#include "tst_batchendaction.moc"
