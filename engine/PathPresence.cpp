#include "engine/PathPresence.h"
