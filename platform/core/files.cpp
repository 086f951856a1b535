#include "platform/core/files.h"
