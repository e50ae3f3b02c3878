// Feeds arbitrary bytes to everything that reads a server's bytes (the
// witness frame scanner, the task reader, both reply judges) and arbitrary
// texts and numbers to the witness parameter text. Besides the sanitizers
// it checks what the uploads rely on: frames come out whole and within the
// frame limit, never more than one frame waits, verdicts stay within their
// codes and a resend never goes to a tag not sent; the parameter text always
// parses as one object of 25 members whose texts read back unchanged.
#include "params/TextCodec.h"
#include "upload/NormalFrames.h"
#include "upload/UploadRecord.h"
#include "upload/UploadReplies.h"
#include "upload/WitnessFrames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "upload fuzz: %s\n", what);
        std::abort();
    }
}

constexpr WitnessKind kKinds[] = {WitnessKind::Parameter, WitnessKind::Data, WitnessKind::End, WitnessKind::Heartbeat};

void judge(const QByteArray &frame, int sentTag)
{
    for (WitnessKind kind : kKinds) {
        const WitnessVerdict v = JudgeWitnessReply(kind, 1 + sentTag % 24, sentTag, frame);
        check(v.Result == 1 || v.Result == 0 || v.Result == -2, "witness verdict outside its codes");
        check(v.ResendTag == 0 || (v.Result == 0 && v.ResendTag >= 1 && v.ResendTag <= sentTag),
              "resend to a tag never sent");
    }
    WitnessTask task;
    if (ReadTaskFrame(frame, task))
        check(!task.Mileage.isEmpty() && task.Mileage.size() <= WitnessLayout::kMileageSize, "mileage out of bounds");
    IsUnsolicitedFrame(frame);
    const int normal = JudgeNormalReply(frame);
    check(normal == 1 || normal == 0 || normal == -3 || normal == -4, "normal verdict outside its codes");
}

// The server's stream in pieces whose sizes come from the input.
void scan(const uint8_t *data, size_t size)
{
    if (size < 2)
        return;
    const int piece = 1 + data[0] * 32;
    const int sentTag = data[1];
    const QByteArray stream = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    WitnessFrameScanner scanner;
    qsizetype out = 0;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        scanner.Append(stream.mid(at, piece));
        QByteArray frame;
        while (scanner.Next(frame)) {
            check(frame.size() >= WitnessLayout::kHeaderSize && frame.size() <= WitnessLayout::kMaxFrame,
                  "frame size outside 31…5000");
            check(frame.size() == WitnessLayout::kHeaderSize
                          + qFromLittleEndian<qint16>(frame.constData() + WitnessLayout::kPayloadLengthPos),
                  "frame length differs from its header");
            out += frame.size();
            judge(frame, sentTag);
        }
        check(scanner.Buffered() < WitnessLayout::kMaxFrame, "more than one frame waits");
    }
    check(out + scanner.Buffered() <= stream.size(), "frames made of bytes that never came");
    JudgeNormalReply(stream);
}

// Texts and numbers as a record file or the settings file may hold them.
void parameterText(const uint8_t *data, size_t size)
{
    const QStringList parts = FromGb2312(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))
                                  .split(QChar(0x1F));
    UploadRecord r;
    r.Header.ChannelCount = 1;
    r.Header.SampleLength = 1;
    r.Traces.push_back(QVector<float>{1.0f});
    QString *texts[] = {&r.Fields.SerialNumber, &r.FileName, &r.Header.ProjectName, &r.Header.TestUnit,
                        &r.Header.Tester, &r.Header.Date, &r.Fields.InstrumentNumber};
    for (size_t i = 0; i < std::size(texts) && i < size_t(parts.size()); ++i)
        *texts[i] = parts.at(qsizetype(i));
    if (size >= 16) {
        std::memcpy(&r.Fields.Longitude, data, 4);
        std::memcpy(&r.Header.SampleInterval, data + 4, 4);
        std::memcpy(&r.Header.TraceSpacing, data + 8, 4);
        std::memcpy(&r.Sensor.Sensitivity[0], data + 12, 4);
    }
    const QByteArray text = WitnessParamText(r);
    std::array<char, WitnessLayout::kMaxFrame> frame{};
    const int length = BuildWitnessFrame(&r, WitnessKind::Parameter, 1, QStringLiteral("K1"), 0, 0, 0, frame.data());
    if (text.size() > WitnessLayout::kMaxPayload) {
        check(length == 0, "a text too long for a frame was built");
        return;
    }
    check(length == WitnessLayout::kHeaderSize + text.size(), "parameter frame length");
    const QJsonDocument doc = QJsonDocument::fromJson(FromGb2312(text).toUtf8());
    check(doc.isObject() && doc.object().size() == 25, "parameter text is not one object of 25 members");
    check(doc.object().value(QStringLiteral("流水号")).toString() == FromGb2312(ToGb2312(r.Fields.SerialNumber)),
          "a text changed on its way into the parameter text");
    check(!FromGb2312(text).contains(QStringLiteral("nan")), "not-a-number in the text");
    std::array<char, NormalLayout::kFrameSize> normal{};
    check(BuildParamPacket(&r, normal.data()) == NormalLayout::kFrameSize, "normal parameter frame length");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] & 1)
        parameterText(data + 1, size - 1);
    else
        scan(data + 1, size - 1);
    return 0;
}
