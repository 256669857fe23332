#pragma once

#include "engine/Lesson.h"
#include "input/PitchReadout.h"
