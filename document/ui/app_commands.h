#pragma once
// The command table moved to the widget-free document target; this header
// stays for the code that still includes it from here.
#include "document/app_commands.h"
