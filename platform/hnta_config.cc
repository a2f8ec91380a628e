// HNTAConfig: there is no configuration to read on this platform, so the
// set-up only records that it ran.
#include "platform/hnta_config.h"

namespace {
bool g_initialized = false;
}

void HNTAConfig::Initialize() { g_initialized = true; }

bool HNTAConfig::IsInitialized() { return g_initialized; }
