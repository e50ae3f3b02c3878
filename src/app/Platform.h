#pragma once

#include <QString>
#include <QStringList>
#include <memory>

/// What the program needs from the controller's system. Real on the
/// controller; tests install a stand-in with SetPlatform().
class Platform
{
public:
    virtual ~Platform() = default;
    /// Root path of the first ready removable volume, or an empty text.
    virtual QString FindUsbStick() = 0;
    /// Runs a shell command line; returns its exit code (−1 when it could not run).
    virtual int RunCommand(const QString &program, const QStringList &arguments) = 0;
};

/// The platform in use (the real one unless a test replaced it).
Platform &CurrentPlatform();
/// Replaces the platform; nullptr brings back the real one.
void SetPlatform(std::unique_ptr<Platform> platform);
