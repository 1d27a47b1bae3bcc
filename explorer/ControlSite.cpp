#include "ControlSite.h"
