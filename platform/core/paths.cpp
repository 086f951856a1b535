#include "platform/core/paths.h"
