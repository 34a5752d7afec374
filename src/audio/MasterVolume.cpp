#include "audio/MasterVolume.h"

#include <algorithm>
#include <cmath>

int32_t MasterMultiplier(int32_t position) {
    position = std::clamp(position, 0, kMasterVolumeMax);
    const double factor = std::pow(10.0, (position - kMasterVolumeMax) * 0.05) * kUnityMultiplier;
    return std::min(kUnityMultiplier, static_cast<int32_t>(factor));
}
