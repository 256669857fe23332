#include "app/LongToneDialog.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "app/CoachingTexts.h"

namespace auralis {

namespace {

constexpr int kFirstNoteSung = -1;

QString seconds(int ms) {
  return QString::number(ms / 1000.0, 'f', 1);
}

QString percent(double share) {
  return QStringLiteral("%1 %").arg(std::lround(100.0 * share));
}

}  // namespace

QString longToneBestText(int midiNote, const std::optional<LongToneBest>& best,
                         display::NoteView view) {
  const QString note = noteWithOctave(midiNote, view);
  if (!best || best->takes == 0) return QStringLiteral("No take of %1 kept yet").arg(note);
  const QString takes =
      best->takes == 1 ? QStringLiteral("1 take") : QStringLiteral("%1 takes").arg(best->takes);
  if (!best->held) return QStringLiteral("%1 of %2 kept, none held to its end").arg(takes, note);
  return QStringLiteral("Best of %1 of %2: within 10 cents %3, within 25 cents %4")
      .arg(takes, note, percent(best->within10), percent(best->within25));
}

LongToneDialog::LongToneDialog(Actions actions, display::NoteView view, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)), view_(view) {
  setObjectName(QStringLiteral("LongToneDialog"));
  setWindowTitle(QStringLiteral("Long tones"));

  note_ = new QComboBox(this);
  note_->setObjectName(QStringLiteral("longToneNote"));
  fillNotes();
  seconds_ = new QSpinBox(this);
  seconds_->setObjectName(QStringLiteral("longToneSeconds"));
  seconds_->setRange(kShortestLongToneSeconds, kLongestLongToneSeconds);
  seconds_->setValue(kFirstLongToneSeconds);
  seconds_->setSuffix(QStringLiteral(" s"));
  start_ = new QPushButton(QStringLiteral("&Start"), this);
  start_->setObjectName(QStringLiteral("longToneStart"));
  start_->setDefault(true);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("longToneProgress"));
  progress_->setRange(0, kFirstLongToneSeconds * 1000);
  progress_->setValue(0);
  progress_->setTextVisible(true);
  progress_->setFormat(QString());
  live_ = new QLabel(this);
  live_->setObjectName(QStringLiteral("longToneLive"));
  QFont big = live_->font();
  big.setBold(true);
  big.setPixelSize(18);
  live_->setFont(big);
  live_->setAlignment(Qt::AlignCenter);
  score_ = new QLabel(this);
  score_->setObjectName(QStringLiteral("longToneScore"));
  score_->setWordWrap(true);
  best_ = new QLabel(this);
  best_->setObjectName(QStringLiteral("longToneBest"));
  best_->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Note:"), note_);
  form->addRow(QStringLiteral("&Hold for:"), seconds_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  auto* column = new QVBoxLayout(this);
  column->addLayout(form);
  column->addLayout(buttons);
  column->addWidget(progress_);
  column->addWidget(live_);
  column->addWidget(score_);
  column->addWidget(best_);
  setMinimumWidth(380);

  connect(start_, &QPushButton::clicked, this, [this] { startOrStop(); });
  connect(note_, &QComboBox::currentIndexChanged, this, [this] {
    if (!running_) takeNote_ = 0;
    refreshBest();
  });
  refreshBest();
}

void LongToneDialog::fillNotes() {
  const int chosen = note_->count() > 0 ? chosenNote() : kFirstNoteSung;
  const QSignalBlocker quiet(note_);
  note_->clear();
  note_->addItem(QStringLiteral("The note I sing first"), kFirstNoteSung);
  for (int midi = kLowestLongToneNote; midi <= kHighestLongToneNote; ++midi)
    note_->addItem(noteWithOctave(midi, view_), midi);
  note_->setCurrentIndex(std::max(0, note_->findData(chosen)));
}

int LongToneDialog::chosenNote() const {
  return note_->currentData().toInt();
}

void LongToneDialog::chooseNote(int midiNote) {
  note_->setCurrentIndex(std::max(0, note_->findData(midiNote)));
}

void LongToneDialog::setView(display::NoteView view) {
  view_ = view;
  fillNotes();
  refreshBest();
}

void LongToneDialog::startOrStop() {
  if (running_) {
    actions_.stop();
    // A take stopped before its note was known may end without a result.
    if (running_) {
      setRunning(false);
      live_->setText(QStringLiteral("Stopped"));
    }
    return;
  }
  const int durationMs = seconds_->value() * 1000;
  takeNote_ = chosenNote() == kFirstNoteSung ? 0 : chosenNote();
  score_->clear();
  progress_->setRange(0, durationMs);
  progress_->setValue(0);
  setRunning(true);
  live_->setText(takeNote_ == 0 ? QStringLiteral("Sing a note and hold it")
                                : QStringLiteral("Sing %1").arg(noteWithOctave(takeNote_, view_)));
  if (!actions_.start(chosenNote(), durationMs)) {
    setRunning(false);
    live_->setText(QStringLiteral("Long tones need the microphone"));
  }
}

void LongToneDialog::setRunning(bool running) {
  running_ = running;
  start_->setText(running ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
  note_->setEnabled(!running);
  seconds_->setEnabled(!running);
}

void LongToneDialog::showProgress(const LongToneProgress& progress) {
  if (!running_) return;
  progress_->setRange(0, progress.targetMs);
  progress_->setValue(std::min(progress.elapsedMs, progress.targetMs));
  progress_->setFormat(
      QStringLiteral("%1 s of %2 s").arg(seconds(progress.elapsedMs), seconds(progress.targetMs)));
  if (progress.midiNote == 0) return;  // the first steady note is awaited
  if (takeNote_ != progress.midiNote) {
    takeNote_ = progress.midiNote;
    refreshBest();
  }
  const QString note = noteWithOctave(progress.midiNote, view_);
  live_->setText(progress.voiced ? note + QStringLiteral(", ") + centsText(progress.cents)
                                 : note + QStringLiteral(": no voice"));
}

void LongToneDialog::showResult(const LongToneResult& result) {
  setRunning(false);
  if (result.midiNote != 0) takeNote_ = result.midiNote;
  progress_->setValue(std::min(result.heardMs, progress_->maximum()));
  if (result.midiNote == 0) {
    live_->setText(QStringLiteral("No steady note was heard"));
    score_->clear();
  } else {
    live_->setText(noteWithOctave(result.midiNote, view_) + QStringLiteral(" held ") +
                   seconds(result.heardMs) + QStringLiteral(" s"));
    score_->setText(longToneScoreText(result));
  }
  refreshBest();
}

int LongToneDialog::bestNote() const {
  return takeNote_ != 0 ? takeNote_ : chosenNote();
}

void LongToneDialog::refreshBest() {
  const int note = bestNote();
  if (note <= 0) {
    best_->setText(QStringLiteral("The best take of the note is shown once it is known"));
    return;
  }
  if (!actions_.best) {
    best_->setText(longToneBestText(note, std::nullopt, view_));
    return;
  }
  // The history is read on its own thread; a value for a note no longer shown is dropped.
  actions_.best(note, this, [this, note](std::optional<LongToneBest> best) {
    if (bestNote() == note) best_->setText(longToneBestText(note, best, view_));
  });
}

// A take does not outlive its window.
void LongToneDialog::closeEvent(QCloseEvent* event) {
  if (running_) actions_.stop();
  QDialog::closeEvent(event);
}

}  // namespace auralis
