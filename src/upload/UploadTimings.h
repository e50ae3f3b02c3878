#pragma once

/// The waits of both uploads. Each worker copies them when it is built;
/// tests shorten them so that a silent server costs them little time.
struct UploadTimings
{
    int NormalReplyUnitMs = 5000;  ///< a normal frame's reply may take 3 × this
    int WitnessReplyUnitMs = 3000; ///< a witness frame's reply may take 3 × this
    int RetryPauseMs = 800;        ///< after each failed normal attempt
    int HeartbeatMs = 2000;        ///< witness heartbeat period
};

/// The timings new workers take.
UploadTimings &DefaultUploadTimings();
