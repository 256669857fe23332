#pragma once

#include <QImage>
#include <QString>

namespace auralis {

// Reading the tool bar's pictures is the run's first picture read, which also loads every image
// plugin of the system. Begun once the application object exists, it runs on a thread of its own
// beside the building of the window. The reading ends, and what was not taken is dropped, before
// the object goes, which must be before the application object: a start that hands over to the
// running program ends at once.
class ToolPicturesReadAhead {
 public:
  ToolPicturesReadAhead();
  ~ToolPicturesReadAhead();
  ToolPicturesReadAhead(const ToolPicturesReadAhead&) = delete;
  ToolPicturesReadAhead& operator=(const ToolPicturesReadAhead&) = delete;
};

// A tool bar picture by its name under ":/pictures/": from the reading begun ahead, waiting for
// it if need be, or read here when none was begun.
QImage toolPicture(const QString& name);

}  // namespace auralis
