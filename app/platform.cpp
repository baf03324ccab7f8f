#include "app/platform.h"

Platform platform = {nullptr, nullptr, nullptr, nullptr};
