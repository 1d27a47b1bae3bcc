#include "ListSort.h"
