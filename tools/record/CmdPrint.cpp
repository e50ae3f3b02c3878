// info and dump: a record's header and samples, read with the program's own
// readers (QDW, and SEG-2, SEG-Y, SU placed on the record's spread).
#include "RecordTool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Enough significant digits for any float to read back to itself.
const int kFloatDigits = 9;

// The shortest decimal that reads back to the float, so that 2.1f shows as
// 2.1 rather than as the double nearest to it. Not-a-number and infinities
// have no JSON number and show as null.
QJsonValue jsonFloat(float value)
{
    if (!std::isfinite(value))
        return QJsonValue();
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
    *end = '\0';
    return QJsonValue(std::strtod(text, nullptr));
}

QJsonObject headerJson(const RecordHeader &h)
{
    QJsonObject o;
    o[QStringLiteral("projectName")] = h.ProjectName;
    o[QStringLiteral("testUnit")] = h.TestUnit;
    o[QStringLiteral("tester")] = h.Tester;
    o[QStringLiteral("profileNumber")] = h.ProfileNumber;
    o[QStringLiteral("surveyMethod")] = h.SurveyMethod;
    o[QStringLiteral("channelCount")] = h.ChannelCount;
    o[QStringLiteral("sampleIntervalUs")] = jsonFloat(h.SampleInterval);
    o[QStringLiteral("sampleLength")] = h.SampleLength;
    o[QStringLiteral("traceOrder")] = h.TraceOrder;
    o[QStringLiteral("traceSpacingM")] = jsonFloat(h.TraceSpacing);
    o[QStringLiteral("offsetM")] = jsonFloat(h.Offset);
    o[QStringLiteral("delayMs")] = jsonFloat(h.Delay);
    o[QStringLiteral("filterHz")] = jsonFloat(h.Filter);
    o[QStringLiteral("triggerMethod")] = h.TriggerMethod;
    o[QStringLiteral("triggerLevel")] = h.TriggerLevel;
    o[QStringLiteral("date")] = h.Date;
    o[QStringLiteral("time")] = h.Time;
    return o;
}

QJsonObject channelsJson(const RecordBlocks &b)
{
    QJsonObject o;
    o[QStringLiteral("sensorType")] = b.SensorType;
    o[QStringLiteral("meteringSignal")] = b.MeteringSignal;
    QJsonArray sensitivity;
    for (float f : b.Sensitivity)
        sensitivity.append(jsonFloat(f));
    o[QStringLiteral("sensitivity")] = sensitivity;
    if (b.HasGains) {
        QJsonArray gains;
        for (int g : b.Gains)
            gains.append(g);
        o[QStringLiteral("gainsDb")] = gains;
    } else {
        o[QStringLiteral("gainsDb")] = QJsonValue();
    }
    return o;
}

QJsonObject layoutJson(const RecordFileLayout &l, bool hasGains)
{
    QJsonObject o;
    o[QStringLiteral("format")] = l.Format;
    o[QStringLiteral("identification")] = l.Identification;
    o[QStringLiteral("recordType")] = l.RecordType;
    o[QStringLiteral("fileSize")] = l.FileSize;
    o[QStringLiteral("headerOffset")] = l.HeaderOffset;
    o[QStringLiteral("channelOffset")] = l.ChannelOffset;
    o[QStringLiteral("dataOffset")] = l.DataOffset;
    o[QStringLiteral("dataBytes")] = l.DataBytes;
    o[QStringLiteral("hasGains")] = hasGains;
    return o;
}

bool printInfo(const ParsedRecord &r)
{
    QJsonObject o;
    o[QStringLiteral("layout")] = layoutJson(r.Layout, r.Blocks.HasGains);
    o[QStringLiteral("header")] = headerJson(r.Blocks.Header);
    o[QStringLiteral("channels")] = channelsJson(r.Blocks);
    return put(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

bool printDump(const ParsedRecord &r)
{
    const int channels = static_cast<int>(r.Traces.size());
    const int samples = channels > 0 ? static_cast<int>(r.Traces.front().size()) : 0;
    QByteArray line;
    for (int ch = 0; ch < channels; ++ch)
        line += (ch ? ",ch" : "ch") + QByteArray::number(ch + 1);
    line += '\n';
    if (!put(line))
        return false;
    char value[32];
    for (int i = 0; i < samples; ++i) {
        line.clear();
        for (int ch = 0; ch < channels; ++ch) {
            if (ch)
                line += ',';
            std::snprintf(value, sizeof value, "%.*g", kFloatDigits,
                          static_cast<double>(r.Traces[static_cast<size_t>(ch)][i]));
            line += value;
        }
        line += '\n';
        if (!put(line))
            return false;
    }
    return true;
}

// The one record named on the command line, printed by print.
int printOneRecord(const ToolArgs &args, bool (*print)(const ParsedRecord &))
{
    if (args.size() != 1)
        return UsageError();
    ParsedRecord record;
    if (const int refused = LoadRecordForTool(args.at(0), record))
        return refused;
    return FinishOutput(print(record));
}

} // namespace

int RunInfo(const ToolArgs &args)
{
    return printOneRecord(args, printInfo);
}

int RunDump(const ToolArgs &args)
{
    return printOneRecord(args, printDump);
}
