#include "engine/PromptTexts.h"
