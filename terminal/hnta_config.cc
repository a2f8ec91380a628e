// HNTAConfig: there is no configuration to read on this platform, so the
// set-up does nothing.
#include "terminal/hnta_config.h"

void HNTAConfig::Initialize() {}
