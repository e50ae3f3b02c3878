#include "UploadTimings.h"

UploadTimings &DefaultUploadTimings()
{
    static UploadTimings timings;
    return timings;
}
