#include "CopyCommands.h"
