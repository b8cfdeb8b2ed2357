#include "volume_state.h"

VolumeState& Volume() {
  static VolumeState state;
  return state;
}

void SetVolumeHost(const VolumeHost& host) {
  Volume().host = host;
}
