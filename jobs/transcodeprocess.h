#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include "resultcodes.h"

class QString;

// One transcoder child and the pipe that carries both its standard output and
// its standard error. The owner drives it from a timer; nothing here waits for
// the child. It runs in a process group of its own, which stop() and the
// destructor kill whole and leave to ChildReaper to collect, and the kernel
// kills it when the converter dies.
class TranscodeProcess final
{
    Q_DISABLE_COPY_MOVE(TranscodeProcess)

public:
    TranscodeProcess() = default;
    // A child still alive is stopped: it never outlives its owner.
    ~TranscodeProcess();

    // Starts arguments[0] with the whole vector as its argument list, standard
    // input on /dev/null. A program containing '/' is used as given; a bare
    // name is looked up beside the running executable, then on PATH.
    // 0; -1 no program; -101 no pipe; -102 the program cannot be found or
    // started; -103 the previous child is still alive. `sharedFd`, unless
    // -1, stays open in the child under its number, with whatever lock it
    // carries; no other descriptor of the converter does.
    int start(const QList<QByteArray> &arguments, int sharedFd = -1);
    // The same from one command line, split at spaces outside double quotes,
    // the enclosing quotes removed (the line never holds escaped quotes).
    int startCommandLine(const QString &commandLine);

    // Reads at most capacity bytes of what the child has written, never
    // waiting: 0 with the count, which is 0 when nothing is there yet; 102 at
    // the end of output (the pipe is then closed); -104 no pipe; -1 no buffer,
    // no count or a capacity below 1.
    int readOutput(char *buffer, int capacity, int *count);

    // Closes the pipe and kills the child's group, never waiting: 0; 102 when
    // nothing was running. A child that closed its output but has not exited
    // yet is still running here. ChildReaper collects the child once it is
    // dead, and then removes `leftover` (unless empty), the file it was
    // writing, which it may have created after this returned.
    int stop(const QByteArray &leftover = QByteArray());

    // Stops the child's whole group where it is (SIGSTOP), and lets it go
    // on (SIGCONT); nothing when no child is there.
    void pause();
    void resume();

    // Collects a child that has ended, without waiting; true once no child
    // remains.
    bool reapChild();

    // The pipe is open.
    bool isRunning() const { return running; }
    // The parent's end of the pipe, for an event loop to watch; -1 when
    // nothing runs.
    int outputDescriptor() const { return readEnd; }
    // The last child collected exited by itself with status 0, as its
    // collection showed.
    bool exitedCleanly() const { return cleanExit; }

private:
    int spawn(const QByteArray &programPath, const QList<QByteArray> &arguments, int sharedFd);
    int readAvailable(char *buffer, int capacity, int *count);
    void closeReadEnd();
    bool collect(bool wait);
    void killGroup();

    int readEnd = -1;
    bool running = false;
    int pid = 0;
    bool cleanExit = false;
};

// A process with this id exists (it may belong to another user).
bool processIsAlive(int pid);

// Gives SIGCHLD its default disposition back. A launcher that ignores it
// passes that on across exec, and the kernel then collects every child
// itself, its exit status unseen. Called once at start, before any child.
void restoreChildExitSignal();

// The file a program name starts: a name containing '/' as given, a bare name
// beside the running executable first, then on PATH. Empty when there is no
// executable file there.
QByteArray findProgram(const QByteArray &program);
