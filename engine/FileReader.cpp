#include "engine/FileReader.h"
