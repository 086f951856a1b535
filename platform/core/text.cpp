#include "platform/core/text.h"
