#include "engine/ItemPlacement.h"
