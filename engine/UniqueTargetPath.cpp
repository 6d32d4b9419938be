#include "engine/UniqueTargetPath.h"
