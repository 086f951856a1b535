#pragma once

// Everything of platform::ui in one include, for window code.

#include "platform/ui/application.h"
#include "platform/ui/buttons.h"
#include "platform/ui/color.h"
#include "platform/ui/containers.h"
#include "platform/ui/control.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/edit.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/form.h"
#include "platform/ui/image.h"
#include "platform/ui/key_filters.h"
#include "platform/ui/lists.h"
#include "platform/ui/memo.h"
#include "platform/ui/menu.h"
#include "platform/ui/print_dialog.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"
