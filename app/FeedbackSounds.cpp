#include "app/FeedbackSounds.h"

#include <QFile>

#include "app/Resources.h"
#include "platform/WaveData.h"

namespace auralis {

using Clock = std::chrono::steady_clock;

FeedbackSounds::FeedbackSounds(platform::FeedbackSoundPlayer& player)
    : player_(player), worker_(platform::DeviceWorker::modeFor(player.callsMayBlock()), {}) {
  loadResources();
  for (std::size_t i = 0; i < waves_.size(); ++i) {
    QFile resource(QString::fromLatin1(kResourceNames[i]));
    if (!resource.open(QIODevice::ReadOnly)) continue;
    waves_[i] = resource.readAll();
    const auto sound =
        platform::parseWave(reinterpret_cast<const std::uint8_t*>(waves_[i].constData()),
                            static_cast<std::size_t>(waves_[i].size()));
    if (sound)
      lengths_[i] = std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(sound->seconds()));
  }
}

void FeedbackSounds::play(FeedbackSound sound) {
  if (!worker_.waitUntilIdle(Clock::now() + kWaitMargin)) return;
  const QByteArray& bytes = wave(sound);
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
  const auto size = static_cast<std::size_t>(bytes.size());
  const auto length = lengths_[static_cast<std::size_t>(sound)];
  worker_
      .ask([this, data, size] {
        player_.playSync(data, size);
        return true;
      })
      .waitUntil(Clock::now() + length + kWaitMargin);
}

const QByteArray& FeedbackSounds::wave(FeedbackSound sound) const {
  return waves_[static_cast<std::size_t>(sound)];
}

bool FeedbackSounds::FinishPlaying(Clock::time_point deadline) {
  return worker_.waitUntilIdle(deadline);
}

}  // namespace auralis
