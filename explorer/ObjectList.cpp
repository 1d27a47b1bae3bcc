#include "ObjectList.h"
