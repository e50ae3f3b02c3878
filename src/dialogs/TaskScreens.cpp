#include "TaskScreens.h"

TaskScreens &Screens()
{
    static TaskScreens screens;
    return screens;
}
