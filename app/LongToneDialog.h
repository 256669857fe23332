#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <functional>
#include <optional>

#include "display/NotePanelLayout.h"
#include "engine/Coaching.h"
#include "history/HistoryQueries.h"

namespace auralis {

// The notes offered besides "The note I sing first": C2 to C6, a singer's whole range.
inline constexpr int kLowestLongToneNote = 36;
inline constexpr int kHighestLongToneNote = 84;
inline constexpr int kShortestLongToneSeconds = 2;
inline constexpr int kLongestLongToneSeconds = 10;
inline constexpr int kFirstLongToneSeconds = 5;

// Long tones in Practice Singing: the singer picks a note, or lets the first steady note be
// taken, and how long to hold it; Start begins a take and Stop ends it early. While it runs the
// bar fills and the held note's cents are shown; at its end comes the score, beside the best
// take of that note the history keeps. A window of its own, so that the main window's panels
// stay as they are.
class LongToneDialog : public QDialog {
 public:
  struct Actions {
    // The note (-1: the first steady note sung) and the time to hold it; false when no take
    // could start.
    std::function<bool(int midiNote, int durationMs)> start;
    std::function<void()> stop;
    // Asks for the best take of a note the history keeps; `show` gets it later, on this thread,
    // unless `receiver` has gone by then.
    std::function<void(int midiNote, QObject* receiver,
                       std::function<void(std::optional<LongToneBest>)> show)>
        best;
  };

  LongToneDialog(Actions actions, display::NoteView view, QWidget* parent);

  void showProgress(const LongToneProgress& progress);
  void showResult(const LongToneResult& result);
  // The history changed: the best take is read again.
  void refreshBest();
  void setView(display::NoteView view);

  // -1 for the first steady note sung.
  int chosenNote() const;
  void chooseNote(int midiNote);
  int chosenSeconds() const { return seconds_->value(); }
  bool running() const { return running_; }

  QComboBox* noteBox() const { return note_; }
  QSpinBox* secondsBox() const { return seconds_; }
  QPushButton* startButton() const { return start_; }
  QProgressBar* progressBar() const { return progress_; }
  QString liveText() const { return live_->text(); }
  QString scoreText() const { return score_->text(); }
  QString bestText() const { return best_->text(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void startOrStop();
  void setRunning(bool running);
  void fillNotes();
  // The note whose best is shown: the take's once it has one, else the chosen one.
  int bestNote() const;

  Actions actions_;
  display::NoteView view_;
  QComboBox* note_ = nullptr;
  QSpinBox* seconds_ = nullptr;
  QPushButton* start_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* live_ = nullptr;
  QLabel* score_ = nullptr;
  QLabel* best_ = nullptr;
  bool running_ = false;
  int takeNote_ = 0;  // the note of the take running or last ended; 0 none yet
};

// "Best of 4 takes of MI4: within 10 cents 80 %, within 25 cents 100 %", or that none is kept.
QString longToneBestText(int midiNote, const std::optional<LongToneBest>& best,
                         display::NoteView view);

}  // namespace auralis
