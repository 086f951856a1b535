#include "platform/core/volumes.h"
