#include "engine/FileCopy.h"
