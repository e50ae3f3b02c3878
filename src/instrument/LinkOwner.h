#pragma once

#include <QString>

/// What the instrument client needs from the screen that owns the link
/// (the acquisition screen, or a stand-in in tests).
class LinkOwner
{
public:
    virtual ~LinkOwner() = default;
    /// Refresh the command buttons after a state change.
    virtual void RefreshButtons() = 0;
    /// The screen is closing: finish the close by accepting it.
    virtual void CloseByAccept() = 0;
    /// Hide the trace view's status banner (ShowTitle(0)).
    virtual void HideBanner() = 0;
    /// The connection failed or was lost: the connection dialog shows text,
    /// and is shown when it was not already showing a result.
    virtual void ShowLinkFailure(const QString &text) = 0;
    /// The connection check succeeded: the connection dialog closes.
    virtual void CloseLinkDialog() = 0;
};

/// What the connection dialog needs from its owner.
class LinkDialogOwner
{
public:
    virtual ~LinkDialogOwner() = default;
    /// A command is waiting for its reply (cancel is refused then).
    virtual bool IsWaiting() const = 0;
    /// Start a new connection attempt.
    virtual void Connect() = 0;
};
