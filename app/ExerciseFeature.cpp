#include "app/ExerciseFeature.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

#include "engine/Notes.h"

namespace auralis {

namespace {

constexpr int kChoiceButtonWidth = 44;

QString noteNameOf(int note) {
  const std::string_view name = LetterSharpNames[pitchClassOf(note)];
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
         QString::number(note / 12 - 1);
}

QComboBox* noteChooser(QWidget* parent, int note) {
  auto* box = new QComboBox(parent);
  for (int n = kLowestVoiceNote; n <= kHighestVoiceNote; ++n) box->addItem(noteNameOf(n), n);
  box->setCurrentIndex(box->findData(note));
  return box;
}

}  // namespace

ExerciseFeature::ExerciseFeature(Core& core, SettingsStore& store, QWidget& window)
    : core_(core), exercise_(core.exercise()), store_(store), window_(window) {}

void ExerciseFeature::addMenuItems(MainMenu& menus) {
  QMenu* menu = menus.mnuLesson;
  QActionGroup* lessons = menus.Warmup1->actionGroup();
  QAction* partsEnd = menu->actions().at(menu->actions().indexOf(menus.Meditate1) + 1);
  menu->insertSeparator(partsEnd);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const ExerciseItem& row = kExerciseItems[i];
    auto* action = new QAction(QString::fromLatin1(row.caption), menu);
    action->setObjectName(QString::fromLatin1(row.component));
    action->setCheckable(true);
    action->setStatusTip(QString::fromLatin1(row.statusTip));
    // Ctrl with a digit: the plain digits are the answers of the naming direction.
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
    lessons->addAction(action);
    menu->insertAction(partsEnd, action);
    const auto exercise = static_cast<Exercise>(i);
    connect(action, &QAction::triggered, this, [this, exercise] { start(exercise); });
    items_[i] = action;
  }
  auto* direction = new QMenu(QStringLiteral("E&xercise direction"), menu);
  direction->setObjectName(QStringLiteral("ExerciseDirection1"));
  direction->menuAction()->setStatusTip(
      QStringLiteral("Choose whether the exercises ask you to sing or to name what you hear"));
  auto* directions = new QActionGroup(direction);
  sing_ = direction->addAction(QStringLiteral("&Sing what is asked"));
  sing_->setObjectName(QStringLiteral("ExerciseSing1"));
  sing_->setStatusTip(QStringLiteral("The exercise names a note to sing from what it plays"));
  name_ = direction->addAction(QStringLiteral("&Name what is heard"));
  name_->setObjectName(QStringLiteral("ExerciseName1"));
  name_->setStatusTip(
      QStringLiteral("The exercise plays notes; answer with the digit keys or the buttons"));
  for (QAction* choice : {sing_, name_}) {
    choice->setCheckable(true);
    directions->addAction(choice);
    connect(choice, &QAction::triggered, this, [this] { directionChosen(); });
  }
  sing_->setChecked(true);
  menu->insertMenu(partsEnd, direction);
  voiceRange_ = new QAction(QStringLiteral("Voi&ce range..."), menu);
  voiceRange_->setObjectName(QStringLiteral("VoiceRange1"));
  voiceRange_->setStatusTip(QStringLiteral("Choose the lowest and highest notes you can sing"));
  connect(voiceRange_, &QAction::triggered, this, [this] { showVoiceRangeDialog(); });
  menu->insertAction(partsEnd, voiceRange_);
  octaveFree_ = new QAction(QStringLiteral("Any oct&ave counts"), menu);
  octaveFree_->setObjectName(QStringLiteral("OctaveFree1"));
  octaveFree_->setCheckable(true);
  octaveFree_->setStatusTip(
      QStringLiteral("A sung note counts in any octave, not only the one asked"));
  connect(octaveFree_, &QAction::triggered, this, [this] { octaveFreeChosen(); });
  menu->insertAction(partsEnd, octaveFree_);
}

QWidget* ExerciseFeature::buildChoiceRow(QWidget* parent) {
  choiceRow_ = new QWidget(parent);
  choiceRow_->setObjectName(QStringLiteral("exerciseChoices"));
  choiceLayout_ = new QHBoxLayout(choiceRow_);
  choiceLayout_->setContentsMargins(4, 2, 4, 2);
  choiceLayout_->setSpacing(2);
  choiceRow_->hide();
  return choiceRow_;
}

void ExerciseFeature::loadOptions(bool solfegeNames) {
  options_ = store_.loadExerciseOptions();
  options_.settings.solfegeNames = solfegeNames;
  exercise_.setSettings(options_.settings);
  for (std::size_t i = 0; i < options_.levels.size(); ++i)
    exercise_.setLevel(static_cast<Exercise>(i), options_.levels[i]);
  (options_.direction == ExerciseDirection::Name ? name_ : sing_)->setChecked(true);
  octaveFree_->setChecked(options_.settings.octaveFree);
}

void ExerciseFeature::setSolfegeNames(bool solfegeNames) {
  if (options_.settings.solfegeNames == solfegeNames) return;
  options_.settings.solfegeNames = solfegeNames;
  exercise_.setSettings(options_.settings);
  if (exercise_.active()) fillChoiceRow();
}

ExerciseDirection ExerciseFeature::chosenDirection() const {
  return name_->isChecked() ? ExerciseDirection::Name : ExerciseDirection::Sing;
}

void ExerciseFeature::start(Exercise exercise) {
  // The core sets the lesson to Practice Singing, whose item the exercise's check mark replaces.
  core_.startExercise(exercise, chosenDirection());
  item(exercise)->setChecked(true);
  fillChoiceRow();
}

void ExerciseFeature::stopped() {
  for (QAction* action : items_) action->setChecked(false);
  choiceRow_->hide();
}

void ExerciseFeature::questionReady(const ExerciseQuestion& question) {
  static_cast<void>(question);
  fillChoiceRow();
}

void ExerciseFeature::levelChanged(Exercise exercise, int level) {
  options_.levels[static_cast<std::size_t>(exercise)] = level;
  save();
  if (exercise_.active()) fillChoiceRow();
}

void ExerciseFeature::directionChosen() {
  options_.direction = chosenDirection();
  save();
  // The running exercise asks again in the new direction.
  if (exercise_.active()) start(exercise_.exercise());
}

void ExerciseFeature::octaveFreeChosen() {
  options_.settings.octaveFree = octaveFree_->isChecked();
  exercise_.setSettings(options_.settings);
  save();
}

void ExerciseFeature::setVoiceRange(int lowNote, int highNote) {
  if (!voiceRangeUsable(lowNote, highNote)) return;
  options_.settings.lowNote = lowNote;
  options_.settings.highNote = highNote;
  exercise_.setSettings(options_.settings);
  save();
  if (exercise_.active()) start(exercise_.exercise());
}

void ExerciseFeature::showVoiceRangeDialog() {
  auto* dialog = new QDialog(&window_);
  dialog->setObjectName(QStringLiteral("voiceRangeDialog"));
  dialog->setWindowTitle(QStringLiteral("Voice range"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  auto* form = new QFormLayout(dialog);
  QComboBox* low = noteChooser(dialog, options_.settings.lowNote);
  low->setObjectName(QStringLiteral("lowNote"));
  QComboBox* high = noteChooser(dialog, options_.settings.highNote);
  high->setObjectName(QStringLiteral("highNote"));
  form->addRow(QStringLiteral("&Lowest note:"), low);
  form->addRow(QStringLiteral("&Highest note:"), high);
  auto* hint = new QLabel(QStringLiteral("No exercise asks for a note outside this range.\n"
                                         "The range must span an octave at least."),
                          dialog);
  form->addRow(hint);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  form->addRow(buttons);
  auto usable = [low, high] {
    return voiceRangeUsable(low->currentData().toInt(), high->currentData().toInt());
  };
  auto check = [buttons, usable] { buttons->button(QDialogButtonBox::Ok)->setEnabled(usable()); };
  connect(low, &QComboBox::currentIndexChanged, dialog, check);
  connect(high, &QComboBox::currentIndexChanged, dialog, check);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, dialog, [this, dialog, low, high] {
    setVoiceRange(low->currentData().toInt(), high->currentData().toInt());
    dialog->accept();
  });
  check();
  dialog->open();
}

void ExerciseFeature::fillChoiceRow() {
  const bool naming = exercise_.active() && exercise_.direction() == ExerciseDirection::Name;
  const std::span<const ExerciseChoice> choices =
      naming ? exercise_.choices() : std::span<const ExerciseChoice>{};
  while (buttons_.size() > choices.size()) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i == buttons_.size()) {
      auto* button = new QToolButton(choiceRow_);
      button->setMinimumWidth(kChoiceButtonWidth);
      connect(button, &QToolButton::clicked, this,
              [this, i] { exercise_.clicked(static_cast<int>(i)); });
      choiceLayout_->insertWidget(static_cast<int>(i), button);
      buttons_.push_back(button);
    }
    QToolButton* button = buttons_[i];
    const ExerciseChoice& choice = choices[i];
    button->setText(
        QString::fromUtf8(choice.label.data(), static_cast<qsizetype>(choice.label.size())));
    button->setToolTip(choiceToolTip(choice));
    button->setObjectName(QStringLiteral("choice%1").arg(i));
  }
  if (choiceLayout_->count() == static_cast<int>(buttons_.size())) choiceLayout_->addStretch(1);
  choiceRow_->setVisible(naming);
}

void ExerciseFeature::save() const {
  store_.saveExerciseOptions(options_);
}

}  // namespace auralis
