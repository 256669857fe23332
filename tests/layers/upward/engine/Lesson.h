#pragma once

#include "input/PitchReadout.h"
