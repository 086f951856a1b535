#include "platform/core/registry.h"
