#include "app/FeedbackSounds.h"

#include <QFile>

#include "app/Resources.h"

namespace auralis {

FeedbackSounds::FeedbackSounds(platform::FeedbackSoundPlayer& player) : player_(player) {
  loadResources();
  for (std::size_t i = 0; i < waves_.size(); ++i) {
    QFile resource(QString::fromLatin1(kResourceNames[i]));
    if (resource.open(QIODevice::ReadOnly)) waves_[i] = resource.readAll();
  }
}

void FeedbackSounds::play(FeedbackSound sound) {
  const QByteArray& bytes = wave(sound);
  player_.playSync(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                   static_cast<std::size_t>(bytes.size()));
}

const QByteArray& FeedbackSounds::wave(FeedbackSound sound) const {
  return waves_[static_cast<std::size_t>(sound)];
}

}  // namespace auralis
