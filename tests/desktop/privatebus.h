#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "waits.h"

// A bus of the test's own (dbus-daemon with a configuration that activates no
// services, so nothing of the machine answers), and the fake desktop services
// on it, whose calls are read back as lines. A process keeps its first
// session and system bus, so one bus serves a whole test; the fake is started
// anew with the services each case offers.
class PrivateBus final
{
public:
    ~PrivateBus()
    {
        stopFake();
        stop(daemon);
    }

    // The address is then in `addressVariable` of this process: the session
    // bus's, or DBUS_SYSTEM_BUS_ADDRESS for a system bus.
    bool start(const char *addressVariable = "DBUS_SESSION_BUS_ADDRESS")
    {
        QFile config(dir.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=" + dir.path().toUtf8()
                     + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                       "<allow own=\"*\"/></policy></busconfig>");
        config.close();
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                      QStringLiteral("--config-file=") + config.fileName()});
        if (!daemon.waitForStarted(processWaitMs))
            return false;
        QByteArray address;
        const QDeadlineTimer deadline(processWaitMs);
        while (!address.contains('\n') && !deadline.hasExpired()) {
            daemon.waitForReadyRead(100);
            address += daemon.readAllStandardOutput();
        }
        address = address.trimmed();
        if (address.isEmpty())
            return false;
        qputenv(addressVariable, address);
        return true;
    }

    // Starts the fake offering `services` (see fakedesktop.cpp).
    bool startFake(const QStringList &services)
    {
        stopFake();
        output.clear();
        fake.start(QStringLiteral(VANTOR_FAKE_DESKTOP), services);
        const QDeadlineTimer deadline(processWaitMs);
        while (!output.contains("ready\n") && !deadline.hasExpired()) {
            fake.waitForReadyRead(100);
            output += fake.readAllStandardOutput();
        }
        output.replace("ready\n", "");
        return fake.state() == QProcess::Running;
    }

    void stopFake() { stop(fake); }

    // The calls so far, one line each.
    QStringList calls()
    {
        output += fake.readAllStandardOutput();
        QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

    QStringList callsOf(const QString &member)
    {
        QStringList matching;
        for (const QString &line : calls()) {
            if (line.startsWith(member + QLatin1Char(' ')))
                matching << line.mid(member.size() + 1);
        }
        return matching;
    }

private:
    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(processWaitMs))
            process.kill();
        process.waitForFinished(5000);
    }

    QTemporaryDir dir;
    QProcess daemon;
    QProcess fake;
    QByteArray output;
};
