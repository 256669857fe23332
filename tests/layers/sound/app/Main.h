#pragma once

#include <QMainWindow>

#include "core/Core.h"
#include "devices/RtAudioSoundInput.h"
#include "history/HistoryStore.h"
