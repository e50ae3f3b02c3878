#include "Preferences.h"

#include "DurableFile.h"

#include "ParamSet.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(lcPreferences, "zeb.params.preferences")

namespace {

const char kFileName[] = "ZEBPREFS.ini";
const char kFileComment[] =
    "# Preferences of the ZEB acquisition program: one Key=value per line.\n"
    "# Booleans are true or false. ZEB.ini holds the survey settings.\n";
constexpr qint64 kLargestFile = 64 * 1024; // a preferences file is a few lines

[[maybe_unused]] QString ToText(bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); }
[[maybe_unused]] QString ToText(int v) { return QString::number(v); }
[[maybe_unused]] QString ToText(double v) { return QString::number(v, 'g', 17); }
[[maybe_unused]] QString ToText(const QString &v) { return v; }

[[maybe_unused]] bool FromText(const QString &text, bool &v)
{
    if (text == QLatin1String("true"))
        v = true;
    else if (text == QLatin1String("false"))
        v = false;
    else
        return false;
    return true;
}
[[maybe_unused]] bool FromText(const QString &text, int &v)
{
    bool ok = false;
    const int read = text.toInt(&ok);
    if (ok)
        v = read;
    return ok;
}
[[maybe_unused]] bool FromText(const QString &text, double &v)
{
    bool ok = false;
    const double read = text.toDouble(&ok);
    if (ok)
        v = read;
    return ok;
}
[[maybe_unused]] bool FromText(const QString &text, QString &v)
{
    v = text;
    return true;
}

} // namespace

QString Preferences::FileName()
{
    return QString::fromLatin1(kFileName);
}

QString Preferences::FilePath()
{
    return ProgramDir() + QLatin1Char('/') + FileName();
}

bool Preferences::Load()
{
    *this = Preferences();
    QFile file(FilePath());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) {
        qCWarning(lcPreferences) << "cannot read" << file.fileName() << file.errorString();
        return false;
    }
    QMap<QString, QString> values;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const int eq = line.indexOf(QLatin1Char('='));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || eq <= 0)
            continue;
        values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    VisitKeys(*this, [&values](const char *key, auto &member) {
        const QString name = QString::fromLatin1(key);
        const auto it = values.constFind(name);
        if (it == values.constEnd())
            return;
        if (!FromText(*it, member))
            qCWarning(lcPreferences) << "ignoring" << name << "=" << *it;
        values.erase(it);
    });
    m_unknown = values;
    return true;
}

bool Preferences::Save(bool *diskFull) const
{
    QByteArray text(kFileComment);
    VisitKeys(*this, [&text](const char *key, const auto &member) {
        text += QByteArray(key) + '=' + ToText(member).toUtf8() + '\n';
    });
    for (auto it = m_unknown.constBegin(); it != m_unknown.constEnd(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toUtf8() + '\n';

    // A power cut while saving leaves the old preferences or the new ones.
    QString problem;
    const WriteOutcome outcome =
        WriteFileDurably(FilePath(), DurableTemporaryPath(FilePath()), text, ExistingFile::Replace, QByteArray(), &problem);
    if (diskFull)
        *diskFull = outcome == WriteOutcome::DiskFull;
    if (outcome != WriteOutcome::Written) {
        qCWarning(lcPreferences) << "cannot write" << FilePath() << problem;
        return false;
    }
    return true;
}

Preferences &CurrentPreferences()
{
    static Preferences prefs;
    return prefs;
}

void ResetPreferences()
{
    CurrentPreferences() = Preferences();
}
