#pragma once

#include <QSqlDatabase>

#include "engine/Lesson.h"
