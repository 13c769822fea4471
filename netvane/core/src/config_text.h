// Moved: the dialogs use these rules too.
#pragma once
#include "netvane/config_text.h"
