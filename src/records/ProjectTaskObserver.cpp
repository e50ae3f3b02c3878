#include "ProjectTaskObserver.h"

#include "params/DurableFile.h"

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
    case ProjectTaskResult::NoRoom:
        return QStringLiteral("导出文件失败，%1！").arg(DiskFullText());
    case ProjectTaskResult::Failed:
        break;
    }
    return exporting ? QStringLiteral("导出文件失败！") : QStringLiteral("删除失败！");
}

QString UnconvertedRecordsMessage(const QStringList &records)
{
    // A box of a few lines: a project where many records fail names the
    // first ones and how many more there are.
    constexpr int kNamesShown = 6;
    if (records.isEmpty())
        return QString();
    QStringList names = records.mid(0, kNamesShown);
    QString text = QStringLiteral("以下文件未生成SEG-2文件:\n") + names.join(QLatin1Char(' '));
    if (records.size() > kNamesShown)
        text += QStringLiteral(" 等%1个").arg(records.size());
    return text;
}
