#include "analysis/AnalysisScreens.h"

namespace {
const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);}"
    "QPushButton{min-height:%1px;font: normal %2px \"yaheikr\";color: rgb(0, 0, 0);"
    "border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}";
} // namespace

ScreenLook AnalysisScreenLook()
{
    return CommandButtonsLook(kBaseSheet);
}
