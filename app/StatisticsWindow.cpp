#include "app/StatisticsWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <type_traits>
#include <utility>

#include "app/ScreenFit.h"
#include "engine/Notes.h"
#include "history/HistorySchema.h"

namespace auralis {

namespace {

struct RangeItem {
  HistoryRange range;
  const char* caption;
};
constexpr std::array<RangeItem, 5> kRangeItems = {{
    {HistoryRange::Session, "This session"},
    {HistoryRange::Today, "Today"},
    {HistoryRange::Last7Days, "Last 7 days"},
    {HistoryRange::Last30Days, "Last 30 days"},
    {HistoryRange::All, "All"},
}};

// New answers are drawn at most this often while the window is open.
constexpr int kRefreshDelayMs = 500;

QString textOf(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QStringList noteNamesFor(bool solfege) {
  QStringList names;
  for (std::string_view name : solfege ? SolfegeSharpNames : LetterSharpNames)
    names << textOf(name);
  return names;
}

void exportHistoryTo(HistoryStore& store, const QString& fileName, QObject* receiver,
                     std::function<void(bool written)> done) {
  store.ask(
      receiver, [fileName](const QSqlDatabase& db) { return exportCsv(db, fileName); },
      std::move(done));
}

void exportHistoryDialog(QWidget* parent, HistoryStore& store) {
  const QString fileName = QFileDialog::getSaveFileName(
      parent, QStringLiteral("Export history"), QStringLiteral("auralis-history.csv"),
      QStringLiteral("Comma-separated values (*.csv)"));
  if (fileName.isEmpty()) return;
  // Told even when the window it was chosen from has closed meanwhile.
  QPointer<QWidget> owner(parent);
  exportHistoryTo(store, fileName, &store, [owner, fileName](bool written) {
    if (!written)
      QMessageBox::warning(owner, QStringLiteral("Export history"),
                           QStringLiteral("The history could not be written to %1.").arg(fileName));
  });
}

StatisticsWindow::StatisticsWindow(HistoryStore& store, QWidget* parent)
    : QMainWindow(parent), store_(store) {
  setObjectName(QStringLiteral("StatisticsWindow"));
  setWindowTitle(QStringLiteral("Statistics"));
  resize(kStatisticsWidth, kStatisticsHeight);
  buildMenus();

  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->setSpacing(8);
  grid->addWidget(buildFilters(), 0, 0, 1, 3);
  accuracy_ = new AccuracyChart(central);
  confusion_ = new ConfusionChart(central);
  intonation_ = new IntonationChart(central);
  daily_ = new DailyChart(central);
  levels_ = new LevelChart(central);
  tuning_ = new TuningChart(central);
  longTones_ = new LongToneChart(central);
  grid->addWidget(accuracy_, 1, 0);
  grid->addWidget(confusion_, 1, 1);
  grid->addWidget(intonation_, 1, 2);
  exercises_ = new ExerciseStatistics(central);
  grid->addWidget(exercises_, 1, 0, 1, 3);
  exercises_->hide();
  grid->addWidget(daily_, 2, 0, 1, 2);
  grid->addWidget(levels_, 2, 2);
  grid->addWidget(tuning_, 3, 0, 1, 2);
  grid->addWidget(longTones_, 3, 2);
  for (int row = 1; row <= 3; ++row) grid->setRowStretch(row, 1);
  for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
  setCentralWidget(central);

  auto* pending = new QTimer(this);
  pending->setSingleShot(true);
  pending->setInterval(kRefreshDelayMs);
  connect(pending, &QTimer::timeout, this, [this] {
    if (isVisible()) refresh();
  });
  connect(&store_, &HistoryStore::changed, pending, qOverload<>(&QTimer::start));
  choose();
}

StatisticsWindow::~StatisticsWindow() {
  ++*choice_;
}

// No larger than the screen, and wholly on it: centred the first time.
void StatisticsWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  fitOnScreen(*this, std::exchange(firstShow_, false));
}

void StatisticsWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* exportItem = file->addAction(QStringLiteral("&Export history..."));
  exportItem->setObjectName(QStringLiteral("ExportHistory1"));
  connect(exportItem, &QAction::triggered, this, [this] { exportHistory(); });
  QAction* clearItem = file->addAction(QStringLiteral("C&lear history..."));
  clearItem->setObjectName(QStringLiteral("ClearHistory1"));
  connect(clearItem, &QAction::triggered, this, [this] { clearHistory(); });
  file->addSeparator();
  QAction* closeItem = file->addAction(QStringLiteral("&Close"));
  closeItem->setShortcut(QKeySequence::Close);
  connect(closeItem, &QAction::triggered, this, &QWidget::close);
}

QWidget* StatisticsWindow::buildFilters() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  range_ = new QComboBox(row);
  range_->setObjectName(QStringLiteral("rangeBox"));
  for (const RangeItem& item : kRangeItems)
    range_->addItem(QString::fromLatin1(item.caption), static_cast<int>(item.range));
  range_->setCurrentIndex(static_cast<int>(kRangeItems.size()) - 1);
  lesson_ = new QComboBox(row);
  lesson_->setObjectName(QStringLiteral("lessonBox"));
  lesson_->addItem(QStringLiteral("All lessons"), -1);
  for (const LessonName& item : kLessonNames)
    lesson_->addItem(textOf(item.caption), static_cast<int>(item.lesson));
  summary_ = new QLabel(row);
  summary_->setObjectName(QStringLiteral("summary"));
  // Alt+R and Alt+L reach the two boxes from the keyboard.
  auto* rangeLabel = new QLabel(QStringLiteral("&Range:"), row);
  rangeLabel->setBuddy(range_);
  auto* lessonLabel = new QLabel(QStringLiteral("&Lesson:"), row);
  lessonLabel->setBuddy(lesson_);
  layout->addWidget(rangeLabel);
  layout->addWidget(range_);
  layout->addSpacing(12);
  layout->addWidget(lessonLabel);
  layout->addWidget(lesson_);
  layout->addSpacing(24);
  layout->addWidget(summary_, 1);
  for (QComboBox* box : {range_, lesson_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { choose(); });
  return row;
}

void StatisticsWindow::setSolfegeNames(bool solfege) {
  const QStringList names = noteNamesFor(solfege);
  for (ChartView* chart : std::initializer_list<ChartView*>{accuracy_, confusion_, intonation_})
    chart->setNoteNames(names);
}

void StatisticsWindow::setRange(HistoryRange range) {
  range_->setCurrentIndex(range_->findData(static_cast<int>(range)));
}

void StatisticsWindow::setLesson(std::optional<LessonMode> lesson) {
  lesson_->setCurrentIndex(lesson_->findData(lesson ? static_cast<int>(*lesson) : -1));
}

HistoryFilter StatisticsWindow::filter() const {
  HistoryFilter f;
  f.range = static_cast<HistoryRange>(range_->currentData().toInt());
  const int lesson = lesson_->currentData().toInt();
  if (lesson >= 0) f.lesson = static_cast<LessonMode>(lesson);
  f.sessionId = store_.sessionId();
  return f;
}

template <typename Query, typename Apply>
void StatisticsWindow::fetch(Query query, Apply apply) {
  const int choice = *choice_;
  ++outstanding_;
  store_.ask(
      this,
      [query = std::move(query), current = choice_, choice](const QSqlDatabase& db) {
        using Value = std::invoke_result_t<Query&, const QSqlDatabase&>;
        // A value nobody will look at is not worth the time of the history's thread.
        return *current == choice ? std::optional<Value>(query(db)) : std::nullopt;
      },
      [this, apply = std::move(apply), choice](auto value) {
        if (*choice_ != choice) return;
        --outstanding_;
        if (value) apply(std::move(*value));
        if (outstanding_ == 0 && std::exchange(refreshAgain_, false)) refresh();
      });
}

void StatisticsWindow::choose() {
  ++*choice_;
  outstanding_ = 0;
  refreshAgain_ = false;
  for (ChartView* chart : charts()) chart->setWaiting();
  summary_->setText(QString::fromLatin1(kChartWaitingText));
  refresh();
}

// Answers may come faster than a large history is counted: while a count runs, a new one waits
// for it, so that the charts still fill in and the history's thread never falls behind.
void StatisticsWindow::refresh() {
  if (outstanding_ > 0) {
    refreshAgain_ = true;
    return;
  }
  const HistoryFilter f = filter();
  fetch([f](const QSqlDatabase& db) { return noteAnswers(db, f); },
        [this](const NoteAnswers& answers) {
          accuracy_->setData(answers.perNote);
          confusion_->setData(answers.confusion);
          showSummary(answers);
        });
  fetch([f](const QSqlDatabase& db) { return progress(db, f); },
        [this](Progress progress) {
          daily_->setData(std::move(progress.days));
          levels_->setData(std::move(progress.levels));
        });
  const QString sungNote = QStringLiteral("sung note");
  const QString sungNotes = QStringLiteral("sung notes");
  fetch([f](const QSqlDatabase& db) { return sungIntonation(db, f); },
        [this, sungNote, sungNotes](const std::array<Intonation, 12>& notes) {
          int count = 0;
          for (const Intonation& note : notes) count += note.count;
          intonation_->setBasis(countOf(count, sungNote, sungNotes));
          intonation_->setData(notes);
        });
  fetch([f](const QSqlDatabase& db) { return tuningByDay(db, f); },
        [this, sungNote, sungNotes](std::vector<TuningDay> days) {
          int count = 0;
          for (const TuningDay& day : days) count += day.notes;
          tuning_->setBasis(countOf(count, sungNote, sungNotes));
          tuning_->setData(std::move(days));
        });
  fetch([f](const QSqlDatabase& db) { return longToneTakes(db, f); },
        [this](std::vector<LongToneTake> takes) {
          longTones_->setBasis(countOf(static_cast<int>(takes.size()), QStringLiteral("take"),
                                       QStringLiteral("takes")));
          longTones_->setData(std::move(takes));
        });
  // An exercise is judged by its intervals, degrees and chord tones, not by pitch classes.
  const bool exercise = f.lesson && *f.lesson >= LessonMode::Intervals;
  for (QWidget* chart : std::initializer_list<QWidget*>{accuracy_, confusion_, intonation_})
    chart->setVisible(!exercise);
  exercises_->setVisible(exercise);
  if (exercise)
    fetch([f](const QSqlDatabase& db) { return exerciseAnswers(db, f); },
          [this](const ExerciseAnswers& answers) { exercises_->setData(answers); });
}

void StatisticsWindow::showSummary(const NoteAnswers& answers) {
  const int asked = answers.asked();
  const QLocale locale;
  summary_->setText(
      asked == 0 ? QStringLiteral("No answers")
                 : QStringLiteral("%1 %2, %3% correct")
                       .arg(locale.toString(asked))
                       .arg(asked == 1 ? QStringLiteral("answer") : QStringLiteral("answers"))
                       .arg(std::lround(100.0 * answers.correct() / asked)));
}

void StatisticsWindow::exportHistory() {
  exportHistoryDialog(this, store_);
}

void StatisticsWindow::clearHistory() {
  QMessageBox ask(QMessageBox::Warning, QStringLiteral("Clear history"),
                  QStringLiteral("Remove every answer kept so far? This cannot be undone."),
                  QMessageBox::Cancel, this);
  QPushButton* clear = ask.addButton(QStringLiteral("Clear history"), QMessageBox::DestructiveRole);
  ask.setDefaultButton(QMessageBox::Cancel);
  ask.exec();
  if (ask.clickedButton() != static_cast<QAbstractButton*>(clear)) return;
  store_.clearHistory();
}

}  // namespace auralis
