// The master volume slider's positions 0..30 as an 8.8 fixed-point factor:
// 20 dB per 20 steps, position 30 at unity (256).
#pragma once

#include <cstdint>

constexpr int32_t kMasterVolumeMax = 30;
constexpr int32_t kUnityMultiplier = 256;

// min(256, trunc(10^((position - 30) * 0.05) * 256)); positions outside
// 0..30 are clamped first. 0, 10, 20, 24, 29, 30 give 8, 25, 80, 128, 228, 256.
int32_t MasterMultiplier(int32_t position);
