#include "transcodeprocess.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "childreaper.h"
#include "resultcodes.h"

extern char **environ;

namespace {

// Keeps a pipe end off descriptors 0 to 2, which the child overwrites; the
// copy keeps close-on-exec.
int awayFromStandardFds(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

bool makePipe(int fds[2])
{
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    fds[0] = awayFromStandardFds(fds[0]);
    fds[1] = awayFromStandardFds(fds[1]);
    if (fds[0] >= 0 && fds[1] >= 0)
        return true;
    if (fds[0] >= 0)
        close(fds[0]);
    if (fds[1] >= 0)
        close(fds[1]);
    return false;
}

// Runs in the child between vfork and exec, on the converter's own memory
// while the converter waits: only system calls, nothing that allocates or
// writes what the converter uses (errno aside, which it overwrites).
[[noreturn]] void becomeTranscoder(pid_t parent, int input, int output, int report, int shared,
                                   const char *path, char *const argv[])
{
    // A group of its own, so that a stop ends whatever the transcoder starts.
    setpgid(0, 0);
    // The kernel ends the child when the converter dies, however it dies.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        sigaction(signal, &standard, nullptr);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    // The child's own table: the converter's descriptor keeps close-on-exec.
    if (shared > STDERR_FILENO)
        fcntl(shared, F_SETFD, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(path, argv, environ);
    const int error = errno;
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

} // namespace

TranscodeProcess::~TranscodeProcess()
{
    stop();
}

bool processIsAlive(int pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

void restoreChildExitSignal()
{
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGCHLD, &standard, nullptr);
}

int TranscodeProcess::spawn(const QByteArray &programPath, const QList<QByteArray> &arguments,
                            int sharedFd)
{
    // Every descriptor closes on exec, so no other child ever holds this
    // write end and the end of output is seen as soon as this child is gone.
    int output[2];
    if (!makePipe(output))
        return ResultPipeFailed;
    // Carries errno when exec fails; closes unread when it succeeds.
    int report[2];
    if (!makePipe(report)) {
        close(output[0]);
        close(output[1]);
        return ResultPipeFailed;
    }
    // ffmpeg reads keystrokes from standard input; it must not share a
    // terminal with the converter.
    const int input = awayFromStandardFds(open("/dev/null", O_RDONLY | O_CLOEXEC));

    std::vector<char *> argv;
    argv.reserve(arguments.size() + 1);
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);

    // No handler of the converter may run in the child before it resets them.
    // vfork, as the plain fork copies the converter's page tables first: that
    // was most of the time between two jobs.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t parent = getpid();
    const pid_t child = input < 0 ? -1 : vfork();
    if (child == 0)
        becomeTranscoder(parent, input, output[1], report[1], sharedFd, programPath.constData(),
                         argv.data());
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close(output[1]);
    close(report[1]);
    if (input >= 0)
        close(input);

    int error = 0;
    ssize_t reported = -1;
    if (child > 0) {
        // The child has made its group before this runs: vfork returns once
        // it has exec'd or exited.
        do {
            reported = read(report[0], &error, sizeof error);
        } while (reported < 0 && errno == EINTR);
    }
    close(report[0]);
    if (child < 0 || reported > 0) {
        close(output[0]);
        if (child > 0) {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }
        return ResultSpawnFailed;
    }

    // Only the parent's end is non-blocking: the child's end shares nothing
    // with it, so the child still blocks when the pipe is full.
    fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);
    readEnd = output[0];
    running = true;
    pid = child;
    cleanExit = false;
    return ResultOk;
}

void TranscodeProcess::killGroup()
{
    // The group first: a wrapper's own children die with it. The child
    // itself too, in case it left the group.
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
}

void TranscodeProcess::pause()
{
    if (pid > 0)
        kill(-pid, SIGSTOP);
}

void TranscodeProcess::resume()
{
    if (pid > 0)
        kill(-pid, SIGCONT);
}

int TranscodeProcess::readAvailable(char *buffer, int capacity, int *count)
{
    *count = 0;
    for (;;) {
        const ssize_t n = read(readEnd, buffer, static_cast<size_t>(capacity));
        if (n > 0) {
            *count = static_cast<int>(n);
            return ResultOk;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return ResultOk;
        break;
    }
    closeReadEnd();
    collect(false);
    return ResultEndOfOutput;
}

int TranscodeProcess::stop(const QByteArray &leftover)
{
    const bool wasRunning = running;
    closeReadEnd();
    if (pid <= 0 || (!wasRunning && collect(false)))
        return ResultNothingToStop;
    killGroup();
    // A child stuck in the kernel dies only when its call returns, which a
    // hung share may never do: the GUI thread must not wait for that.
    if (ChildReaper::adopt(pid, leftover)) {
        pid = 0;
        cleanExit = false;
    } else {
        collect(true);
    }
    return ResultOk;
}

bool TranscodeProcess::reapChild()
{
    return pid <= 0 || collect(false);
}

void TranscodeProcess::closeReadEnd()
{
    if (readEnd >= 0)
        close(readEnd);
    readEnd = -1;
    running = false;
}

bool TranscodeProcess::collect(bool wait)
{
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, wait ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return false;
    // ECHILD: the kernel or someone else collected it, and a status nobody
    // saw is never a clean exit.
    cleanExit = result == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    pid = 0;
    return true;
}
