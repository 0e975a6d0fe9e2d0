#include "transcodeprocess.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "resultcodes.h"

extern char **environ;

namespace {

// Keeps a pipe end off descriptors 0 to 2, which the child's file actions
// overwrite; the copy keeps close-on-exec.
int awayFromStandardFds(int fd)
{
    if (fd > STDERR_FILENO)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

} // namespace

TranscodeProcess::~TranscodeProcess()
{
    closeReadEnd();
    if (pid > 0) {
        kill(pid, SIGKILL);
        collect(true);
    }
}

int TranscodeProcess::spawn(const QByteArray &programPath, const QList<QByteArray> &arguments)
{
    // Both ends close on exec, so no other child ever holds this write end
    // and the end of output is seen as soon as this child is gone.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return ResultPipeFailed;
    fds[0] = awayFromStandardFds(fds[0]);
    fds[1] = awayFromStandardFds(fds[1]);
    if (fds[0] < 0 || fds[1] < 0) {
        if (fds[0] >= 0)
            close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
        return ResultPipeFailed;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // ffmpeg reads keystrokes from standard input; it must not share a
    // terminal with the converter.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char *> argv;
    argv.reserve(arguments.size() + 1);
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);

    pid_t child = 0;
    const int result = posix_spawn(&child, programPath.constData(), &actions, &attributes,
                                   argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (result != 0) {
        close(fds[0]);
        return ResultSpawnFailed;
    }

    // Only the parent's end is non-blocking: the child's end shares nothing
    // with it, so the child still blocks when the pipe is full.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    readEnd = fds[0];
    running = true;
    pid = child;
    cleanExit = false;
    return ResultOk;
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

int TranscodeProcess::stop()
{
    const bool wasRunning = running;
    closeReadEnd();
    if (pid <= 0 || (!wasRunning && collect(false)))
        return ResultNothingToStop;
    kill(pid, SIGKILL);
    // SIGKILL ends the child at once, so this wait is short; the caller may
    // then delete what the child was writing.
    collect(true);
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
    // ECHILD: someone else collected it; its output alone then decides.
    cleanExit = result < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    pid = 0;
    return true;
}
