#pragma once

#include <QObject>
#include <QString>

class QDBusMessage;

// What logind lets this session do to the machine: suspend and power off,
// through org.freedesktop.login1 on the system bus. Every call is
// asynchronous; a machine without logind or without a system bus offers
// neither.
class SystemPower final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SystemPower)

public:
    explicit SystemPower(QObject *parent = nullptr);

    // Asks logind; probed() follows, at once without a system bus, within a
    // few seconds otherwise.
    void probe();
    bool canSuspend() const { return suspendOffered; }
    bool canPowerOff() const { return powerOffOffered; }
    // Interactive: logind may ask the user to authenticate first.
    void suspend();
    void powerOff();

signals:
    void probed();

private:
    void ask(const QString &method, bool *offered);
    static QDBusMessage managerCall(const QString &method);

    bool suspendOffered = false;
    bool powerOffOffered = false;
    int unanswered = 0;
};
