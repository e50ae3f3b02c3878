#pragma once

#include <QMap>
#include <QString>

/// The program's own preferences: what the operator chooses that the
/// settings file of the instrument's format (ZEB.ini) has no room for. They
/// live in a file of their own beside it, so that file stays exactly as
/// every tool that reads it expects.
///
/// The file is plain UTF-8 text, one "Key=value" per line; lines starting
/// with "#" and blank lines are comments. Booleans read "true" or "false",
/// numbers are decimal, texts stand as they are up to the end of the line.
/// A key this program does not know (written by a newer one) is kept as it
/// was when the file is saved again; a missing or unreadable value keeps its
/// default.
///
/// Adding a preference: a member with its default below, and one line in
/// Preferences::VisitKeys() naming its key.
class Preferences
{
public:
    /// Every shot taken without stacking is saved under the next numbered
    /// name as soon as it is on screen.
    bool AutoSave = false;
    /// The site-noise monitor's threshold line, dB re 1 mm/s (or 1 mV at the
    /// amplifier input when the sensor block gives no sensitivity): 0.1 mm/s,
    /// quiet ground with well planted geophones, below a truck on a nearby road.
    double MonitorThresholdDb = -20.0;

    /// Reads the file; a missing file leaves the defaults. False when the
    /// file exists but cannot be read (the defaults stand then as well).
    bool Load();
    /// Writes the file through a temporary name; false when it could not be
    /// written (the old file then stays as it was), diskFull telling whether
    /// the disk had no room.
    bool Save(bool *diskFull = nullptr) const;

    /// Path of the preferences file in the program directory.
    static QString FilePath();
    /// Name of the preferences file.
    static QString FileName();

    /// Calls visit(key, member) for every preference, in file order.
    template <typename Visitor, typename Self>
    static void VisitKeys(Self &self, Visitor &&visit)
    {
        visit("AutoSave", self.AutoSave);
        visit("MonitorThresholdDb", self.MonitorThresholdDb);
    }

private:
    /// Lines of keys this program does not know, kept for the next save.
    QMap<QString, QString> m_unknown;
};

/// The preferences of the process.
Preferences &CurrentPreferences();
/// Back to the defaults, nothing read (tests call this between cases).
void ResetPreferences();
