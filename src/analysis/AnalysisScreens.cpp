#include "analysis/AnalysisScreens.h"

#include "params/ParamSet.h"

namespace {
// Positions in the parameter set's layout sizes.
constexpr int kButtonHeightIndex = 3;
constexpr int kButtonTextIndex = 14;

const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);}"
    "QPushButton{min-height:%1px;font: normal %2px \"yaheikr\";color: rgb(0, 0, 0);"
    "border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}";
} // namespace

ScreenLook AnalysisScreenLook()
{
    const ParamSet &p = CurrentParams();
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet)
                         .arg(p.LayoutSizes[kButtonHeightIndex])
                         .arg(p.LayoutSizes[kButtonTextIndex]);
    return look;
}
