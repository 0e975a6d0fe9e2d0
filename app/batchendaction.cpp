#include "batchendaction.h"

#include <QComboBox>
#include <QWidget>

#include "countdownnotice.h"

BatchEndAction::BatchEndAction(QWidget *window)
    : QObject(window)
    , window(window)
{
    connect(&power, &SystemPower::probed, this, &BatchEndAction::offeredChoicesChanged);
}

QString BatchEndAction::labelText()
{
    return QStringLiteral("转码完成后：");
}

QString BatchEndAction::choiceText(Choice choice)
{
    switch (choice) {
    case DoNothing:
        return QStringLiteral("无操作");
    case Quit:
        return QStringLiteral("退出程序");
    case Sleep:
        return QStringLiteral("睡眠");
    case PowerOff:
        return QStringLiteral("关机");
    }
    return QString();
}

void BatchEndAction::probe()
{
    power.probe();
}

void BatchEndAction::showChoicesIn(QComboBox *box)
{
    const auto fill = [this, box] {
        box->clear();
        for (const Choice choice : offeredChoices()) {
            box->addItem(choiceText(choice), int(choice));
            if (choice == chosen)
                box->setCurrentIndex(box->count() - 1);
        }
    };
    fill();
    connect(this, &BatchEndAction::offeredChoicesChanged, box, fill);
    connect(box, qOverload<int>(&QComboBox::activated), this,
            [this, box](int index) { chosen = Choice(box->itemData(index).toInt()); });
}

QList<BatchEndAction::Choice> BatchEndAction::offeredChoices() const
{
    QList<Choice> offered{DoNothing, Quit};
    if (power.canSuspend())
        offered << Sleep;
    if (power.canPowerOff())
        offered << PowerOff;
    return offered;
}

bool BatchEndAction::start()
{
    const QString text = countdownText(chosen);
    if (text.isEmpty() || notice || !offeredChoices().contains(chosen))
        return false;
    const Choice action = chosen;
    notice = new CountdownNotice(window, text, countdownSeconds, this);
    connect(notice, &CountdownNotice::confirmed, this, [this, action] {
        endCountdown();
        perform(action);
    });
    connect(notice, &CountdownNotice::cancelled, this, &BatchEndAction::endCountdown);
    return true;
}

void BatchEndAction::endCountdown()
{
    notice->deleteLater();
    notice = nullptr;
}

QString BatchEndAction::countdownText(Choice choice)
{
    switch (choice) {
    case DoNothing:
        break;
    case Quit:
        return QStringLiteral("转码任务已完成，%1 秒后将退出程序。");
    case Sleep:
        return QStringLiteral("转码任务已完成，%1 秒后将进入睡眠。");
    case PowerOff:
        return QStringLiteral("转码任务已完成，%1 秒后将关机。");
    }
    return QString();
}

void BatchEndAction::perform(Choice action)
{
    switch (action) {
    case DoNothing:
        break;
    case Quit:
        emit quitRequested();
        break;
    case Sleep:
        power.suspend();
        break;
    case PowerOff:
        power.powerOff();
        break;
    }
}
