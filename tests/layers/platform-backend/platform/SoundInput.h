#pragma once

#include "devices/RtAudioSoundInput.h"
