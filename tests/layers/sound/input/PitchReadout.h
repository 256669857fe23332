#pragma once

#include "engine/Lesson.h"
