#include "platform/core/process.h"
