#include "engine/CopyHandler.h"
