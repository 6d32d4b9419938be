#include "engine/FileWriter.h"
