#pragma once

#include "platform/SoundInput.h"
