#pragma once

/// Most channels the unit and every screen can hold.
constexpr int kMaxChannels = 24;
