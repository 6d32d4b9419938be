#include "engine/Prompt.h"
