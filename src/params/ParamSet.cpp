#include "ParamSet.h"

#include "ZebVersion.h"
#include "model/WorkStateReset.h"
#include "params/DurableFile.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QBuffer>
#include <QFileInfo>
#include <cmath>

namespace {

const int kDefaultLayoutSizes[16] = {60, 50, 50, 60, 50, 50, 50, 50, 50, 50, 50, 50, 17, 26, 24, 20};
const int kFontSizeIndex = 12; // the last four layout sizes are the font point sizes
const int kDefaultGroupGains[4] = {0, 24, 48, 60};
// Beside the settings file: the copy of the last good save and a damaged
// file put aside.
const char kCopySuffix[] = ".bak";
const char kSetAsideSuffix[] = ".damaged";
const char kHeaderDateFormat[] = "yyyy-MM-dd";
const char kHeaderTimeFormat[] = "hh:mm:ss";
const char kUnsavedTimeFormat[] = "hhmm";

QString &programDirOverride()
{
    static QString dir;
    return dir;
}

// The settings file is a Qt 4.0 data stream; version 7 fixes the encodings of
// texts, floats and colours, whatever Qt writes by default today.
void prepareStream(QDataStream &s)
{
    s.setVersion(QDataStream::Qt_4_0);
    s.setByteOrder(QDataStream::BigEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

// A colour record of a Qt 4.0 stream: the colour-type byte, then alpha, red,
// green, blue and a padding word.
const int kColourRecordSize = 11;

template <typename Colour, typename Raw>
struct ColourItem
{
    Colour &colour;
    Raw &unreadable;
};

template <typename Colour, typename Raw>
ColourItem<Colour, Raw> colourItem(Colour &c, Raw &raw)
{
    return {c, raw};
}

// Items 2 to 31 of the settings file, in file order, read or written by one
// template so that the two directions can never disagree.
template <typename Stream, typename Set>
void streamSavedItems(Stream &s, Set &p)
{
    auto &h = p.Header;
    s % h.ProjectName % h.TestUnit % h.Tester % h.ProfileNumber;
    s % h.SurveyMethod % h.ChannelCount;
    s % h.SampleInterval;
    s % h.SampleLength % h.TraceOrder;
    s % h.TraceSpacing % h.Offset % h.Delay % h.Filter;
    s % h.TriggerMethod % h.TriggerLevel;
    s % colourItem(p.Colours.Background, p.Colours.Unreadable[0])
      % colourItem(p.Colours.Baseline, p.Colours.Unreadable[1])
      % colourItem(p.Colours.Fill, p.Colours.Unreadable[2]);
    for (auto &g : p.Gains)
        s % g;
    s % p.Sensor.SensorType % p.Sensor.MeteringSignal % p.Sensor.SettingMethod;
    for (auto &f : p.Sensor.Sensitivity)
        s % f;
    s % p.ColourTheme;
    s % p.MeteringOn;
    s % p.InstrumentNumber % p.SerialNumber % p.UploadProfileNumber;
    s % p.Longitude % p.Latitude;
    s % p.ServerPort;
    for (auto &b : p.ServerAddress)
        s % b;
}

struct Reader
{
    QDataStream &s;
    template <typename T> Reader &operator%(T &v) { s >> v; return *this; }

    // The record is read whole first: the toolkit would store any type byte
    // in the colour, and one outside its enumeration must not get there.
    Reader &operator%(ColourItem<QColor, QByteArray> &&item)
    {
        QByteArray raw(kColourRecordSize, '\0');
        if (s.readRawData(raw.data(), raw.size()) != raw.size()) {
            s.setStatus(QDataStream::ReadPastEnd);
            return *this;
        }
        const int type = qint8(raw.at(0));
        if (type < QColor::Invalid || type > QColor::ExtendedRgb) {
            item.colour = QColor();
            item.unreadable = raw;
            return *this;
        }
        QDataStream record(raw);
        prepareStream(record);
        record >> item.colour;
        item.unreadable.clear();
        return *this;
    }
};

struct Writer
{
    QDataStream &s;
    template <typename T> Writer &operator%(const T &v) { s << v; return *this; }

    template <typename Colour, typename Raw> Writer &operator%(const ColourItem<Colour, Raw> &item)
    {
        if (!item.colour.isValid() && item.unreadable.size() == kColourRecordSize)
            s.writeRawData(item.unreadable.constData(), item.unreadable.size());
        else
            s << item.colour;
        return *this;
    }
};

} // namespace

namespace {
bool Drawable(const QColor &c)
{
    return c.isValid();
}
} // namespace

DisplayColours DrawableColours(const DisplayColours &stored)
{
    const DisplayColours defaults;
    DisplayColours shown = stored;
    if (!Drawable(shown.Background))
        shown.Background = defaults.Background;
    if (!Drawable(shown.Baseline))
        shown.Baseline = defaults.Baseline;
    if (!Drawable(shown.Fill))
        shown.Fill = defaults.Fill;
    return shown;
}

ParamSet::ParamSet()
    : SoftwareVersion(QStringLiteral(ZEB_VERSION))
{
    const QDateTime now = QDateTime::currentDateTime();
    Header.Date = now.toString(QLatin1String(kHeaderDateFormat));
    Header.Time = now.toString(QLatin1String(kHeaderTimeFormat));
    for (int ch = 0; ch < kMaxChannels; ++ch)
        Gains[ch] = kDefaultGroupGains[ch / kGainGroupSize];
    Sensor.Sensitivity.fill(1.0f);
    ResetWorkState();
}

void ParamSet::ResetWorkState()
{
    std::copy(std::begin(kDefaultLayoutSizes), std::end(kDefaultLayoutSizes), LayoutSizes.begin());
    for (int i = 0; i < 4; ++i) {
        QFont f(QStringLiteral("yaheikr"));
        f.setPointSize(LayoutSizes[kFontSizeIndex + i]);
        f.setWeight(QFont::Normal);
        f.setItalic(false);
        Fonts[i] = f;
    }
    FocusStyleSheet = QStringLiteral(
        "QPushButton:focus{background-color:rgb(0, 255, 255);}QToolButton:focus{background-color:rgb(0, 255, 255);}");
    DisabledStyleSheet = QStringLiteral(
        "QPushButton:!enabled{color:rgb(128, 128, 128);}QToolButton:!enabled{color:rgb(128, 128, 128);}");
    LabelThemeColours = {QColor(255, 255, 0), QColor(200, 0, 0), QColor(255, 255, 255)};
    ButtonThemeColours = {QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 255)};
    ColourTheme = 2;
    CurrentChannel = 1;
    HighPassLimit = 0;
    LowPassLimit = 10000;
    NotifyWorkStateReset();
    BrowserPage = 1;
    BrowserSort = 1;
    CurrentRecordPath.clear();
    UploadMode = 0;
}

QString ParamSet::SettingsPath() const
{
    return ProgramDir() + QLatin1Char('/') + SettingsFileName;
}

QString ParamSet::ProjectFolderPath() const
{
    return DataRoot + QLatin1Char('/') + Header.ProjectName + QLatin1Char('.') + ProjectFolderExt;
}

QString ParamSet::SettingsCopyPath() const
{
    return SettingsPath() + QLatin1String(kCopySuffix);
}

QString ParamSet::SetAsideSettingsPath() const
{
    return SettingsPath() + QLatin1String(kSetAsideSuffix);
}

int ParamSet::LoadSettings()
{
    DataRoot = ProgramDir() + QLatin1Char('/') + DataFolderName;
    QDir().mkpath(DataRoot);

    if (!QFileInfo::exists(SettingsPath())) {
        ResetWorkState();
        return 1;
    }
    if (readSettingsFile(SettingsPath()))
        return 1;
    // Kept for a look, never read again; the name is free for the next save.
    QFile::remove(SetAsideSettingsPath());
    if (!QFile::rename(SettingsPath(), SetAsideSettingsPath()))
        QFile::remove(SettingsPath());
    if (QFileInfo::exists(SettingsCopyPath()) && readSettingsFile(SettingsCopyPath()))
        return kSettingsRestored;
    ResetWorkState();
    return -1;
}

bool ParamSet::readSettingsFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    prepareStream(in);
    QString tag;
    in >> tag;
    if (in.status() != QDataStream::Ok || tag != SettingsFormatTag)
        return false;
    // Read into a copy: a file that ends early or is damaged must not leave
    // the set half overwritten.
    ParamSet loaded = *this;
    Reader r{in};
    streamSavedItems(r, loaded);
    if (in.status() != QDataStream::Ok)
        return false;
    // The unit is programmed with each group's first gain; every channel's
    // samples must be converted with that same gain from the start, not
    // only after the next save.
    loaded.EqualiseGainGroups();
    *this = loaded;
    return true;
}

int ParamSet::SaveSettings()
{
    EqualiseGainGroups();
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QDataStream out(&buffer);
        prepareStream(out);
        out << SettingsFormatTag;
        Writer w{out};
        streamSavedItems(w, *this);
    }
    // Written beside the old file and renamed over it, so a power cut while
    // saving leaves either the old settings or the new ones, never a mix;
    // then the copy that a damaged file is replaced with at the next start.
    const auto write = [&bytes](const QString &path) {
        QString problem;
        const WriteOutcome outcome = WriteFileDurably(path, DurableTemporaryPath(path), bytes, ExistingFile::Replace,
                                                      QByteArray(), &problem);
        if (outcome != WriteOutcome::Written)
            qWarning("settings: %s", qUtf8Printable(problem));
        return outcome;
    };
    const WriteOutcome outcome = write(SettingsPath());
    // The settings themselves are saved; a copy that cannot be written only
    // leaves the previous copy for a damaged file to fall back on.
    if (outcome == WriteOutcome::Written && write(SettingsCopyPath()) != WriteOutcome::Written)
        QFile::remove(SettingsCopyPath());
    switch (outcome) {
    case WriteOutcome::Written:
        return 1;
    case WriteOutcome::DiskFull:
        return kSettingsDiskFull;
    default:
        return kSettingsNotSaved;
    }
}

QString ParamSet::LoadResultText(int result)
{
    if (result == kSettingsRestored)
        return QStringLiteral("设置文件已损坏，已恢复上次保存的设置");
    if (result < 0)
        return QStringLiteral("设置文件已损坏，已恢复默认设置");
    return QString();
}

QString ParamSet::SaveResultText(int result)
{
    if (result == kSettingsDiskFull)
        return QStringLiteral("%1，无法保存设置文件！").arg(DiskFullText());
    if (result < 0)
        return QStringLiteral("无法保存设置文件！");
    return QString();
}

QString ParamSet::UnsavedMark()
{
    return QStringLiteral("未保存");
}

bool ParamSet::IsUnsaved() const
{
    return CurrentRecordPath.isEmpty() && LastRecordName == UnsavedMark();
}

void ParamSet::MarkUnsaved(const QDateTime &taken)
{
    CurrentRecordPath.clear();
    LastRecordName = UnsavedMark();
    // The upload's test time is the shot's, not that of the record read before it.
    Header.Date = taken.toString(QLatin1String(kHeaderDateFormat));
    Header.Time = taken.toString(QLatin1String(kHeaderTimeFormat));
}

QString ParamSet::RecordTitle() const
{
    if (IsUnsaved()) {
        // Two unsaved pictures a minute apart still tell apart on the server.
        const QTime taken = QTime::fromString(Header.Time, QLatin1String(kHeaderTimeFormat));
        return taken.isValid() ? UnsavedMark() + taken.toString(QLatin1String(kUnsavedTimeFormat)) : UnsavedMark();
    }
    if (CurrentRecordPath.isEmpty())
        return QString();
    QString base = CurrentRecordPath.mid(CurrentRecordPath.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = base.indexOf(QLatin1Char('.'));
    return dot >= 0 ? base.left(dot) : base;
}

void ParamSet::EqualiseGainGroups()
{
    for (int ch = 0; ch < kMaxChannels; ++ch)
        Gains[ch] = Gains[ch - ch % kGainGroupSize];
}

int ParamSet::ChannelsInUse() const
{
    return qBound(0, Header.ChannelCount, kMaxChannels);
}

int ParamSet::SampleLengthInUse() const
{
    return qMax(0, Header.SampleLength);
}

void ParamSet::CopyAcquisition(ParamSet &target, const ParamSet &source)
{
    const QString date = target.Header.Date;
    const QString time = target.Header.Time;
    target.Header = source.Header;
    target.Header.Date = date;
    target.Header.Time = time;
    target.Colours = source.Colours;
    target.Gains = source.Gains;
    target.Sensor = source.Sensor;
}

ParamSet &CurrentParams()
{
    static ParamSet set;
    return set;
}

ParamSet &BackupParams()
{
    static ParamSet set;
    return set;
}

void ResetParamSets()
{
    CurrentParams() = ParamSet();
    BackupParams() = ParamSet();
}

QString ProgramDir()
{
    const QString &dir = programDirOverride();
    if (!dir.isEmpty())
        return dir;
    return QCoreApplication::applicationDirPath();
}

void SetProgramDir(const QString &dir)
{
    programDirOverride() = dir;
}

quint32 ByteSum(const char *buf, int start, int count)
{
    quint32 sum = 0;
    for (int i = 0; i < count; ++i)
        sum += static_cast<quint8>(buf[start + i]);
    return sum;
}

int AppliedFilterHz(float filterHz)
{
    if (!(std::fabs(filterHz) < 1.0e9f))
        return 0;
    const int hz = static_cast<int>(filterHz);
    return (hz == 512 || hz == 1024 || hz == 2048) ? hz : 0;
}
