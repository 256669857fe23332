#pragma once

#include <vector>

#include "engine/Levels.h"
