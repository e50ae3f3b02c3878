#include "WorkStateReset.h"

#include <vector>

namespace {

std::vector<WorkStateResetListener> &listeners()
{
    static std::vector<WorkStateResetListener> list;
    return list;
}

} // namespace

void AddWorkStateResetListener(WorkStateResetListener listener)
{
    listeners().push_back(listener);
}

void NotifyWorkStateReset()
{
    for (WorkStateResetListener listener : listeners())
        listener();
}
