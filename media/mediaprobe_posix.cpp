#include "mediaprobe.h"

#include <sys/resource.h>

// A nice value belongs to each thread on Linux: only the reader steps back,
// so that on a busy machine the window keeps the processor it needs.
void MediaProbe::yieldToWindow()
{
    setpriority(PRIO_PROCESS, 0, 10);
}
