#include "terminationsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write; the notifier reads on the GUI thread.
int wakeUp[2] = {-1, -1};
TerminationSignals *active = nullptr;
struct sigaction previous[3];

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    ssize_t ignored = write(wakeUp[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

void installHandler()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        sigaction(handledSignals[i], nullptr, &previous[i]);
        // Ignored on purpose by whoever started the converter (nohup, a
        // script's "&"): a closed terminal must not end the run.
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(handledSignals[i], &action, nullptr);
    }
}

void restoreHandlers()
{
    for (int i = 0; i < 3; ++i)
        sigaction(handledSignals[i], &previous[i], nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (active || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeUp) != 0)
        return;
    active = this;
    notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    installHandler();
}

TerminationSignals::~TerminationSignals()
{
    if (active != this)
        return;
    restoreHandlers();
    delete notifier;
    close(wakeUp[0]);
    close(wakeUp[1]);
    wakeUp[0] = wakeUp[1] = -1;
    active = nullptr;
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    while (read(wakeUp[0], &byte, 1) == 1)
        emit received(byte);
}
