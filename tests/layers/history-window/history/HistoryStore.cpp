#include "app/StatisticsWindow.h"
