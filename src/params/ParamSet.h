#pragma once

#include "model/Channels.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>
#include <array>

/// Channels that share one amplifier gain.
constexpr int kGainGroupSize = 6;

/// LoadSettings: the file was damaged and the copy of the last save was loaded.
constexpr int kSettingsRestored = 2;
/// SaveSettings: the file could not be written.
constexpr int kSettingsNotSaved = -1;
/// SaveSettings: the file could not be written for lack of space.
constexpr int kSettingsDiskFull = -2;

/// Survey and acquisition parameters carried by every record.
struct RecordHeader
{
    QString ProjectName = QStringLiteral("QUARTZON");
    QString TestUnit = QStringLiteral("QUARTZON");
    QString Tester = QStringLiteral("QUARTZON");
    QString ProfileNumber = QStringLiteral("001");
    int SurveyMethod = 1;
    int ChannelCount = 12;
    float SampleInterval = 500.0f; ///< microseconds
    int SampleLength = 1024;       ///< samples per channel
    int TraceOrder = 1;            ///< 1 forward, anything else reverse
    float TraceSpacing = 2.0f;     ///< metres
    float Offset = 4.0f;           ///< metres
    float Delay = 0.0f;            ///< milliseconds
    float Filter = 4096.0f;        ///< Hz; 4096 or more is all-pass
    int TriggerMethod = 1;         ///< 1 external, 0 automatic
    int TriggerLevel = 1;          ///< 0 low, 1 medium, 2 high
    QString Date;                  ///< "yyyy-MM-dd"
    QString Time;                  ///< "hh:mm:ss"
};

/// The high cut the unit's anti-alias filter applies for a header's Filter
/// value: 512, 1024 or 2048 Hz, or 0 for every other value (all-pass).
int AppliedFilterHz(float filterHz);

/// Background, baseline and fill colour of the trace view, in this order.
struct DisplayColours
{
    QColor Background{255, 255, 255};
    QColor Baseline{255, 255, 255};
    QColor Fill{0, 0, 0};
    /// The colour records, in the order above, that a damaged settings file
    /// gave a colour-type byte the toolkit does not have. Such a colour is
    /// held as no colour (an out-of-range type in a QColor is undefined
    /// behaviour the moment it is looked at) and its record is written back
    /// as it was read until a colour is chosen for it.
    std::array<QByteArray, 3> Unreadable;
};

/// The colours to draw with: a stored colour that is no colour (an invalid
/// one, or one whose record was unreadable) would paint black, so it gives
/// way to its default here; the stored set keeps it unchanged.
DisplayColours DrawableColours(const DisplayColours &stored);

struct SensorBlock
{
    int SensorType = 1;     ///< non-zero velocity, 0 acceleration
    int MeteringSignal = 1; ///< non-zero velocity, 0 signal source
    int SettingMethod = 0;  ///< non-zero one value for all channels, 0 each channel
    std::array<float, kMaxChannels> Sensitivity{};
};

/// Everything the screens share, once for the whole process (two instances:
/// CurrentParams() and BackupParams()). Fields are read and written directly.
class ParamSet
{
public:
    ParamSet();

    // Paths, names and versions
    QString SoftwareVersion; ///< the project version the build was made from
    QString HardwareVersionText;
    QString SettingsFileName = QStringLiteral("ZEB.ini");
    QString SettingsFormatTag = QStringLiteral("1.0.10720");
    QString DataRoot;
    QString DataFolderName = QStringLiteral("QDW-FILE");
    QString LastRecordName;
    QString FocusStyleSheet;
    QString DisabledStyleSheet;

    // Look of the screens
    std::array<int, 16> LayoutSizes{};
    std::array<QFont, 4> Fonts;
    QString RecordFileExt = QStringLiteral("QDW");
    QString ProjectFolderExt = QStringLiteral("PRO");
    std::array<QColor, 3> LabelThemeColours;
    std::array<QColor, 3> ButtonThemeColours;
    int ColourTheme = 2;
    int CurrentChannel = 1;       ///< 1-based; 0 or negative: none
    int HighPassLimit = 0;        ///< Hz
    int LowPassLimit = 10000;     ///< Hz
    QString InstrumentAddress = QStringLiteral("192.168.0.120");
    QString InstrumentPort = QStringLiteral("6543");
    bool MeteringOn = false;
    int MeteringReserve = 30;     ///< pixels kept free below the screens when metering is on

    // Record blocks and display colours
    RecordHeader Header;
    DisplayColours Colours;
    std::array<int, kMaxChannels> Gains{}; ///< dB, channel 1 first
    SensorBlock Sensor;

    // Browser and upload settings
    int BrowserPage = 1;
    int BrowserSort = 1;
    QString InstrumentNumber;
    QString SerialNumber;
    QString UploadProfileNumber;
    QString UploadFileName;
    QString LastUploadRecord;
    float Longitude = 114.3f;
    float Latitude = 30.57f;
    int ServerPort = 5005;
    std::array<qint8, 4> ServerAddress{127, 0, 0, 1};
    QString CurrentRecordPath;
    int UploadMode = 0;
    // The witness server for this run only (--upload-gateway), never saved:
    // an empty address means the default gateway of the controller's network.
    QString WitnessGateway;
    int WitnessPort = 5555;
    // The normal upload's server for this run only (--upload-server), never
    // saved: while pinned, the upload screen shows and edits it in place of
    // the saved address and port, and uploads go there.
    bool UploadServerPinned = false;
    std::array<qint8, 4> PinnedServerAddress{};
    int PinnedServerPort = 0;

    /// The normal upload's server in use: the one pinned for this run, else the saved one.
    std::array<qint8, 4> &UploadServerAddress() { return UploadServerPinned ? PinnedServerAddress : ServerAddress; }
    const std::array<qint8, 4> &UploadServerAddress() const
    {
        return UploadServerPinned ? PinnedServerAddress : ServerAddress;
    }
    int &UploadServerPort() { return UploadServerPinned ? PinnedServerPort : ServerPort; }
    int UploadServerPort() const { return UploadServerPinned ? PinnedServerPort : ServerPort; }

    /// Resets the look, current channel, filter limits, browser position,
    /// current record path and upload mode, and tells the work-state listeners
    /// (the trace store resets its stacking state); leaves the record blocks alone.
    void ResetWorkState();
    /// 1 when read or missing; a foreign or damaged file is set aside
    /// (SetAsideSettingsPath()) and then kSettingsRestored when the copy of
    /// the last good save was loaded instead, −1 when the defaults stand.
    /// Gains read are equalised per group of six, as the unit applies them.
    int LoadSettings();
    /// 1 once the settings file and then its copy are written; otherwise
    /// kSettingsNotSaved, or kSettingsDiskFull when the disk had no room, and
    /// the old file stays as it was.
    int SaveSettings();
    /// The operator's message for a LoadSettings result; empty when there
    /// is nothing to tell.
    static QString LoadResultText(int result);
    /// The operator's message for a SaveSettings result; empty on success.
    static QString SaveResultText(int result);
    /// The name the record on screen goes by: the base name of the current
    /// record path, cut before its first "."; for a picture marked unsaved,
    /// UnsavedMark() followed by the hour and minute it was taken ("未保存1432"),
    /// which fits the ten bytes an upload frame gives the name.
    QString RecordTitle() const;
    /// The picture on screen is no saved or read record (a fresh shot, kept
    /// self-check data): it loses the earlier record's path and name, shows
    /// UnsavedMark() and is dated taken.
    void MarkUnsaved(const QDateTime &taken);
    /// Whether the picture on screen was marked unsaved.
    bool IsUnsaved() const;
    /// "未保存", the record name of a picture that was never saved.
    static QString UnsavedMark();

    /// Gives every channel of each group of six the gain of the group's first channel.
    void EqualiseGainGroups();

    /// The header's channel count, bounded to what the program can index (0…24).
    int ChannelsInUse() const;
    /// The header's sample length, never negative.
    int SampleLengthInUse() const;

    /// Path of the settings file in the program directory.
    QString SettingsPath() const;
    /// The copy of the settings file that every successful save writes too.
    QString SettingsCopyPath() const;
    /// Where a settings file that cannot be read is put aside.
    QString SetAsideSettingsPath() const;
    /// Project folder of the header's project below the data root.
    QString ProjectFolderPath() const;

    /// Copies header (without date and time), colours, gains and sensor block.
    static void CopyAcquisition(ParamSet &target, const ParamSet &source);

private:
    /// Reads the settings file at path into the set; false (and the set
    /// unchanged) when it is not a whole file of the current format.
    bool readSettingsFile(const QString &path);
};

/// The set every screen uses.
ParamSet &CurrentParams();
/// The set that keeps the operator's acquisition parameters while a record is open.
ParamSet &BackupParams();
/// Rebuilds both sets from their defaults (tests call this between cases).
void ResetParamSets();

/// Directory that holds the program, its settings file and its data folder.
QString ProgramDir();
/// Replaces the program directory (tests point it at a temporary directory).
void SetProgramDir(const QString &dir);

/// Adds count bytes of buf from start as unsigned values into a 32-bit sum.
quint32 ByteSum(const char *buf, int start, int count);
