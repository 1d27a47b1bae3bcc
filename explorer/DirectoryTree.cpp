#include "DirectoryTree.h"
