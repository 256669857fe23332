#pragma once

#include <QAction>
#include <QHBoxLayout>
#include <QObject>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <vector>

#include "app/ExerciseView.h"
#include "app/Menus.h"
#include "app/SettingsStore.h"
#include "core/Core.h"
#include "exercises/Exercise.h"

namespace auralis {

// The relative-pitch exercises as the main window offers them: their items at the end of the
// Lesson menu with the direction, the voice range and the octave-free option; the row of answer
// buttons of the naming direction; and what they keep in the settings store. The exercise
// itself runs in the core; this only translates the window's events.
class ExerciseFeature : public QObject {
 public:
  ExerciseFeature(Core& core, SettingsStore& store, QWidget& window);

  // After the Parts' items, behind a separator; the exercise items join the lessons' radio
  // group, so that one check mark says what runs.
  void addMenuItems(MainMenu& menus);
  // The answer buttons, hidden until an exercise in the naming direction asks.
  QWidget* buildChoiceRow(QWidget* parent);
  // Reads the stored options and hands them to the exercise.
  void loadOptions(bool solfegeNames);
  // The view's names changed: degrees follow them.
  void setSolfegeNames(bool solfegeNames);

  // The menu command of an exercise item.
  void start(Exercise exercise);
  // A Parts lesson was chosen: the exercise's check mark and answer row go.
  void stopped();
  // The exercise asked a question, or changed its level.
  void questionReady(const ExerciseQuestion& question);
  void levelChanged(Exercise exercise, int level);

  QAction* item(Exercise exercise) const { return items_[static_cast<std::size_t>(exercise)]; }
  QAction* singItem() const { return sing_; }
  QAction* nameItem() const { return name_; }
  QAction* voiceRangeItem() const { return voiceRange_; }
  QAction* octaveFreeItem() const { return octaveFree_; }
  QWidget* choiceRow() const { return choiceRow_; }
  const std::vector<QToolButton*>& choiceButtons() const { return buttons_; }
  const ExerciseOptions& options() const { return options_; }

  // The voice range dialog's result, as the dialog hands it over.
  void setVoiceRange(int lowNote, int highNote);

 private:
  ExerciseDirection chosenDirection() const;
  void directionChosen();
  void octaveFreeChosen();
  void showVoiceRangeDialog();
  void fillChoiceRow();
  void save() const;

  Core& core_;
  ExerciseLesson& exercise_;
  SettingsStore& store_;
  QWidget& window_;
  ExerciseOptions options_;
  std::array<QAction*, kExerciseCount> items_{};
  QAction* sing_ = nullptr;
  QAction* name_ = nullptr;
  QAction* voiceRange_ = nullptr;
  QAction* octaveFree_ = nullptr;
  QWidget* choiceRow_ = nullptr;
  QHBoxLayout* choiceLayout_ = nullptr;
  std::vector<QToolButton*> buttons_;
};

}  // namespace auralis
