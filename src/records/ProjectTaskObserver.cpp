#include "ProjectTaskObserver.h"

QString ProjectTaskMessage(ProjectTaskResult result, bool exporting)
{
    switch (result) {
    case ProjectTaskResult::Done:
        return exporting ? QStringLiteral("导出文件成功！") : QStringLiteral("删除成功！");
    case ProjectTaskResult::NoStick:
        return QStringLiteral("找不到U盘！");
    case ProjectTaskResult::NoProject:
        return QStringLiteral("文件不存在或文件名错误！");
    case ProjectTaskResult::Declined:
        return QString();
    case ProjectTaskResult::Failed:
        break;
    }
    return exporting ? QStringLiteral("导出文件失败！") : QStringLiteral("删除失败！");
}
