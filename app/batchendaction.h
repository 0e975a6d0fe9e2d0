#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "systempower.h"

class CountdownNotice;
class QComboBox;
class QWidget;

// What the converter does when a batch ends by itself, with or without
// failures: nothing, quit, sleep or power off, each announced by a countdown
// in the message dialog that the user can cancel. The choice lasts until the
// program ends and is never saved, so that no machine powers off by surprise
// the next day.
class BatchEndAction final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchEndAction)

public:
    // In the order the window offers them.
    enum Choice {
        DoNothing,
        Quit,
        Sleep,
        PowerOff,
    };

    // The countdown opens over `window`, which owns the action.
    explicit BatchEndAction(QWidget *window);

    // "转码完成后：" and the choices' texts, for the window's combo box.
    static QString labelText();
    static QString choiceText(Choice choice);

    // Asks logind whether sleep and power off are allowed;
    // offeredChoicesChanged() follows, at once when there is no system bus.
    void probe();
    // Lists the offered choices in the box, as they change, and takes the
    // user's.
    void showChoicesIn(QComboBox *box);
    // Nothing and quit always; sleep and power off once logind allows them.
    QList<Choice> offeredChoices() const;

    void setChoice(Choice choice) { chosen = choice; }
    // 60 seconds unless changed.
    void setCountdownSeconds(int seconds) { countdownSeconds = seconds; }

    // A batch has ended by itself (never after a cancel): starts the
    // countdown of the chosen action and returns at once. False when there
    // is nothing to do, the choice is not offered, or a countdown is on.
    bool start();

signals:
    void offeredChoicesChanged();
    // The countdown of "退出程序" ran out or was confirmed: the window closes
    // as its own close button would close it.
    void quitRequested();

private:
    // Empty for DoNothing.
    static QString countdownText(Choice choice);
    void endCountdown();
    void perform(Choice action);

    QWidget *window;
    SystemPower power;
    Choice chosen = DoNothing;
    int countdownSeconds = 60;
    QPointer<CountdownNotice> notice;
};
