#include "app/ToolPictures.h"

#include <QHash>
#include <array>
#include <future>

#include "app/Resources.h"

namespace auralis {

namespace {

// Each with its highlighted picture, name-hot.
constexpr std::array kToolPictureNames = {"identify", "unlock",   "mimic", "sing",
                                          "meditate", "practice", "help",  "statistics"};

using Pictures = QHash<QString, QImage>;

QImage readPicture(const QString& name) {
  return QImage(QStringLiteral(":/pictures/") + name);
}

Pictures readAll() {
  Pictures pictures;
  for (const char* name : kToolPictureNames) {
    const QString normal = QString::fromLatin1(name);
    pictures.insert(normal, readPicture(normal));
    pictures.insert(normal + QStringLiteral("-hot"), readPicture(normal + QStringLiteral("-hot")));
  }
  return pictures;
}

// Both used on the interface thread only.
std::future<Pictures> ahead;
Pictures waiting;

}  // namespace

ToolPicturesReadAhead::ToolPicturesReadAhead() {
  loadResources();
  ahead = std::async(std::launch::async, readAll);
}

ToolPicturesReadAhead::~ToolPicturesReadAhead() {
  if (ahead.valid()) ahead.wait();
  ahead = {};
  waiting.clear();
}

QImage toolPicture(const QString& name) {
  if (ahead.valid()) waiting = ahead.get();
  // Each is asked for once: what has been taken is not kept.
  QImage picture = waiting.take(name);
  return picture.isNull() ? readPicture(name) : picture;
}

}  // namespace auralis
