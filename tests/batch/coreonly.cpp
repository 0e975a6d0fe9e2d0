// Built of the batch layer and what it stands on; the test reads which libraries it needs.
#include <QCoreApplication>

#include "conversionqueue.h"
#include "transcodejob.h"

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    ConversionQueue queue;
    TranscodeJob job;
    queue.append(&job);
    return queue.start() == ResultNothingPending ? 0 : 1;
}
