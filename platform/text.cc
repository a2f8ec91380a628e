// ErrnoText.
#include "platform/text.h"

#include <cstring>

std::string ErrnoText(int err) { return std::strerror(err); }
