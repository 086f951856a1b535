#pragma once

// The whole Video for Windows stand-in: the AVI file interface, the frame getter and DrawDib.

#include "platform/vfw/avifile.h"
#include "platform/vfw/drawdib.h"
#include "platform/vfw/getframe.h"
#include "platform/vfw/vfw_types.h"
