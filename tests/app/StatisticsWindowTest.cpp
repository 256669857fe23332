#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "app/HistoryFeature.h"
#include "engine/Coaching.h"
#include "tests/app/HistoryFixture.h"

namespace auralis::testing {
namespace {

// A main window with the program's menus and tool bar, and the history added to them.
class StatisticsWindowTest : public HistoryTest {
 protected:
  void SetUp() override {
    menus = buildMainMenu(window.menuBar());
    toolBar = buildToolBar(&window);
    widthBefore = toolBar.rowWidth();
  }
  void TearDown() override {
    feature.reset();
    QCoreApplication::sendPostedEvents();
  }
  HistoryFeature& addFeature(const QString& file) {
    feature = std::make_unique<HistoryFeature>(&window, file);
    feature->addHistoryActions(menus, toolBar);
    notices = new NoticeLine(&window);
    feature->showNoticesIn(notices);
    return *feature;
  }
  // Answers of today, and one from ten days ago, in the file before the window opens.
  void recordSome() {
    openStore();
    for (const AnswerRecord& a :
         {answer(nowMs() - 10 * 24 * 3600 * 1000LL, 60, 'c', true),
          answer(nowMs(), 62, 'd', true, LessonMode::Mimic), answer(nowMs(), 64, 'c', false)})
      store->recordAnswer(a);
    closeStore();
  }
  static std::int64_t nowMs() { return QDateTime::currentMSecsSinceEpoch(); }
  // Every chart's value has come from the history's thread.
  static bool countedIn(const StatisticsWindow& w) {
    return QTest::qWaitFor([&] { return !w.waiting(); }, 5000);
  }

  // Answers the next modal dialog by `press`, once it shows.
  static void whenDialogShows(std::function<void(QMessageBox&)> press) {
    QTimer::singleShot(0, [press] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      press(*box);
    });
  }

  QMainWindow window;
  MainMenu menus;
  ToolBar toolBar;
  int widthBefore = 0;
  std::unique_ptr<HistoryFeature> feature;
  NoticeLine* notices = nullptr;
};

TEST_F(StatisticsWindowTest, TheMenusAndTheToolBarOpenTheStatistics) {
  HistoryFeature& f = addFeature(path());
  const QList<QAction*> view = menus.mnuView->actions();
  EXPECT_EQ(view.indexOf(f.Statistics1), view.indexOf(menus.Piano1) + 2) << "after a separator";
  const QList<QAction*> file = menus.mnuFile->actions();
  EXPECT_LT(file.indexOf(f.ExportHistory1), file.indexOf(menus.Quit1));
  EXPECT_EQ(toolBar.rowWidth(), widthBefore + kSeparatorWidth + kToolButtonSize);
  EXPECT_FALSE(f.toolButtonStatistics->icon().isNull());

  EXPECT_EQ(f.statisticsWindow(), nullptr);
  f.toolButtonStatistics->click();
  ASSERT_NE(f.statisticsWindow(), nullptr);
  EXPECT_TRUE(f.statisticsWindow()->isVisible());
  StatisticsWindow* shown = f.statisticsWindow();
  f.Statistics1->trigger();
  EXPECT_EQ(f.statisticsWindow(), shown) << "one window, shown again";
}

TEST_F(StatisticsWindowTest, NotesAreNamedAsTheViewNamesThem) {
  HistoryFeature& f = addFeature(path());
  f.Statistics1->trigger();
  struct Case {
    QAction* MainMenu::*item;
    const char* c;
    const char* cSharp;
  };
  const std::vector<Case> cases = {{&MainMenu::Notes1, "C", "C#"},
                                   {&MainMenu::Solfege1, "DO", "DI"},
                                   {&MainMenu::Piano1, "C", "C#"}};
  EXPECT_EQ(f.statisticsWindow()->noteNames().value(0), "DO") << "Solfege is checked at first";
  for (const Case& c : cases) {
    (menus.*c.item)->trigger();
    EXPECT_EQ(f.statisticsWindow()->noteNames().value(0), c.c);
    EXPECT_EQ(f.statisticsWindow()->noteNames().value(1), c.cSharp);
  }
}

TEST_F(StatisticsWindowTest, RangeAndLessonChooseWhatTheSummaryCounts) {
  recordSome();
  HistoryFeature& f = addFeature(path());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();
  struct Case {
    HistoryRange range;
    std::optional<LessonMode> lesson;
    const char* summary;
  };
  const std::vector<Case> cases = {
      {HistoryRange::All, std::nullopt, "3 answers, 67% correct"},
      {HistoryRange::Today, std::nullopt, "2 answers, 50% correct"},
      {HistoryRange::Today, LessonMode::Mimic, "1 answer, 100% correct"},
      {HistoryRange::Session, std::nullopt, "No answers"},
      {HistoryRange::Last30Days, LessonMode::Identify, "2 answers, 50% correct"},
  };
  for (const Case& c : cases) {
    w.setRange(c.range);
    w.setLesson(c.lesson);
    ASSERT_TRUE(countedIn(w));
    EXPECT_EQ(w.summary(), c.summary);
  }
}

TEST_F(StatisticsWindowTest, EachSingingChartSaysWhatItRestsOn) {
  openStore();
  HeldNote note;
  note.startMs = nowMs();
  note.midiNote = 64;
  note.meanCents = -35;
  store->recordHeldNote(note);
  note.meanCents = 5;
  note.accepted = true;
  store->recordHeldNote(note);
  LongToneResult take;
  take.atMs = nowMs();
  take.midiNote = 64;
  take.completed = true;
  store->recordLongTone(take);
  closeStore();
  HistoryFeature& f = addFeature(path());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.intonationChart().basis(), "2 sung notes");
  EXPECT_EQ(w.tuningChart().basis(), "2 sung notes");
  EXPECT_EQ(w.longToneChart().basis(), "1 take");
  w.setLesson(LessonMode::Identify);
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.intonationChart().basis(), "0 sung notes");
  EXPECT_EQ(w.longToneChart().basis(), "0 takes");
}

TEST_F(StatisticsWindowTest, NewAnswersAppearWhileTheWindowIsOpen) {
  HistoryFeature& f = addFeature(path());
  f.showStatistics();
  ASSERT_TRUE(countedIn(*f.statisticsWindow()));
  EXPECT_EQ(f.statisticsWindow()->summary(), "No answers");
  f.recorder().recordAnswer(answer(nowMs(), 60, 'c', true));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return f.statisticsWindow()->summary() == "1 answer, 100% correct"; }, 5000));
}

TEST_F(StatisticsWindowTest, ClearingAsksFirstAndCancelIsTheDefault) {
  recordSome();
  HistoryFeature& f = addFeature(path());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();

  whenDialogShows([](QMessageBox& box) {
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Cancel));
    QTest::keyClick(&box, Qt::Key_Return);
  });
  w.clearHistory();
  w.refresh();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.summary(), "3 answers, 67% correct") << "Return keeps the history";

  whenDialogShows([](QMessageBox& box) {
    for (QAbstractButton* b : box.buttons())
      if (box.buttonRole(b) == QMessageBox::DestructiveRole) b->click();
  });
  w.clearHistory();
  w.refresh();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.summary(), "No answers");
}

int waitingCharts(const StatisticsWindow& w) {
  const auto charts = w.charts();
  return static_cast<int>(
      std::count_if(charts.begin(), charts.end(), [](ChartView* c) { return c->waiting(); }));
}

// However long the count, the window shows at once: each chart says it waits, then draws.
TEST_F(StatisticsWindowTest, TheWindowShowsAtOnceAndEachChartDrawsWhenCounted) {
  recordSome();
  HistoryFeature& f = addFeature(path());
  HistoryThreadHold hold(f.store());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(waitingCharts(w), 7);
  EXPECT_EQ(w.summary(), kChartWaitingText);
  EXPECT_TRUE(w.waiting());

  hold.release();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(waitingCharts(w), 0);
  EXPECT_EQ(w.summary(), "3 answers, 67% correct");
}

// The count for a range that is no longer chosen arrives after the choice changed: it is not
// shown, and the charts wait on for the new choice.
TEST_F(StatisticsWindowTest, ACountForAnEarlierChoiceIsDropped) {
  recordSome();
  HistoryFeature& f = addFeature(path());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();
  f.store().flush();  // the counts for All are posted, not yet delivered
  HistoryThreadHold hold(f.store());
  // Session has none of the answers; its counts wait behind the hold.
  w.setRange(HistoryRange::Session);
  QCoreApplication::processEvents();
  EXPECT_EQ(w.summary(), kChartWaitingText);
  EXPECT_EQ(waitingCharts(w), 7);

  hold.release();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.summary(), "No answers");
}

// Answers come while a large history is being counted: the charts fill in with that count, and
// the new answers are counted after it, however often they come.
TEST_F(StatisticsWindowTest, NewAnswersWhileCountingNeverKeepTheChartsWaiting) {
  recordSome();
  HistoryFeature& f = addFeature(path());
  auto first = std::make_unique<HistoryThreadHold>(f.store());
  f.showStatistics();
  StatisticsWindow& w = *f.statisticsWindow();
  HistoryThreadHold second(f.store());
  f.recorder().recordAnswer(answer(nowMs(), 60, 'c', true));
  for (int i = 0; i < 3; ++i) w.refresh();  // as the window does for new answers
  first->release();
  EXPECT_TRUE(QTest::qWaitFor([&] { return waitingCharts(w) == 0; }, 3000))
      << "the first count is drawn while the next waits";

  second.release();
  ASSERT_TRUE(countedIn(w));
  EXPECT_EQ(w.summary(), "4 answers, 75% correct");
}

// The window, or the whole program, closes while the history's thread is still counting.
TEST_F(StatisticsWindowTest, ClosingWhileCountingNeitherHangsNorCrashes) {
  recordSome();
  for (const bool program : {false, true}) {
    SCOPED_TRACE(program ? "the program" : "the window");
    HistoryFeature& f = addFeature(path());
    auto hold = std::make_unique<HistoryThreadHold>(f.store());
    f.showStatistics();
    f.statisticsWindow()->setRange(HistoryRange::Today);
    if (program) {
      // The count ends a moment after the program has begun to close.
      std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        hold->release();
      });
      feature.reset();
      later.join();
      QCoreApplication::processEvents();
      continue;
    }
    f.closeStatistics();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(f.statisticsWindow(), nullptr);
    hold->release();
    f.store().flush();
    QCoreApplication::processEvents();
    // And a new window counts as before.
    f.showStatistics();
    ASSERT_TRUE(countedIn(*f.statisticsWindow()));
    EXPECT_EQ(f.statisticsWindow()->summary(), "3 answers, 67% correct");
    feature.reset();
  }
}

// The export runs on the history's thread, after the answers recorded before it.
TEST_F(StatisticsWindowTest, ExportWritesWhatWasJustRecordedAndTellsAFailure) {
  HistoryFeature& f = addFeature(path());
  for (int i = 0; i < 3; ++i) f.recorder().recordAnswer(answer(nowMs(), 60 + i, 'c', i == 0));
  struct Case {
    QString file;
    bool written;
  };
  const std::vector<Case> cases = {{dir.path() + QStringLiteral("/out.csv"), true},
                                   {dir.path() + QStringLiteral("/missing/out.csv"), false}};
  for (const Case& c : cases) {
    std::optional<bool> told;
    exportHistoryTo(f.store(), c.file, &window, [&](bool written) { told = written; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.has_value(); }, 5000)) << c.file.toStdString();
    EXPECT_EQ(*told, c.written) << c.file.toStdString();
    QFile csv(c.file);
    EXPECT_EQ(csv.open(QIODevice::ReadOnly), c.written);
    if (c.written) {
      EXPECT_EQ(csv.readAll().count('\n'), 4) << "a header and three answers";
    }
  }
}

// From the smallest map to a large one, with letter and solfege names: no two names of the
// confusion map touch, and every name lies on the chart.
TEST(ConfusionMapNames, NeverRunTogether) {
  ConfusionChart chart(nullptr);
  const QFontMetrics metrics = chart.fontMetrics();
  for (bool solfege : {false, true}) {
    chart.setNoteNames(noteNamesFor(solfege));
    for (const QSize size : {QSize(180, 140), QSize(200, 220), QSize(230, 260), QSize(260, 300),
                             QSize(320, 320), QSize(480, 420)}) {
      chart.resize(size);
      const QRect plot = chart.cellSquare();
      const std::vector<ChartLabel> labels = confusionLabels(plot, chart.noteNames(), metrics);
      SCOPED_TRACE(std::string(solfege ? "solfege " : "letters ") + std::to_string(size.width()) +
                   "x" + std::to_string(size.height()));
      EXPECT_GE(labels.size(), 8u) << "most of the notes are named";
      for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_GE(labels[i].box.width(), metrics.horizontalAdvance(labels[i].text));
        EXPECT_TRUE(chart.rect().contains(labels[i].box)) << labels[i].text.toStdString();
        for (std::size_t j = i + 1; j < labels.size(); ++j)
          EXPECT_FALSE(labels[i].box.intersects(labels[j].box))
              << labels[i].text.toStdString() << " and " << labels[j].text.toStdString();
      }
    }
  }
}

TEST_F(StatisticsWindowTest, AFaultIsToldInTheNoticeLine) {
  QFile blocker(dir.path() + QStringLiteral("/blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  HistoryFeature& f = addFeature(dir.path() + QStringLiteral("/blocker/Auralis/history.sqlite"));
  f.recorder().recordAnswer(answer(nowMs(), 60, 'c', true));
  f.store().flush();
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(notices->isHidden());
  ASSERT_EQ(notices->notices().size(), 1);
  EXPECT_TRUE(notices->notices()[0].startsWith("Answers are not being kept"));
  EXPECT_EQ(notices->textLabel()->toolTip(), notices->notices()[0]);
}

TEST_F(StatisticsWindowTest, AnExerciseShowsItsItemsAndWhatEachWasTakenFor) {
  openStore();
  for (const auto& [item, answered, cents] :
       {std::tuple{"M3", "M3", 12.0}, std::tuple{"M3", "m3", -40.0}, std::tuple{"P5", "P5", 2.0}}) {
    AnswerRecord a =
        answer(nowMs(), 64, 'e', std::string_view(item) == answered, LessonMode::Intervals);
    a.item = item;
    a.answeredItem = answered;
    a.direction = "sing";
    a.source = AnswerSource::Sung;
    a.cents = cents;
    store->recordAnswer(a);
  }
  store->recordAnswer(answer(nowMs(), 60, 'c', true));
  closeStore();
  HistoryFeature& history = addFeature(path());
  history.showStatistics();
  StatisticsWindow* statistics = history.statisticsWindow();
  ASSERT_NE(statistics, nullptr);
  ExerciseStatistics* exercises = statistics->exerciseStatistics();
  EXPECT_FALSE(exercises->isVisible()) << "all lessons: the note charts";

  statistics->setLesson(LessonMode::Intervals);
  ASSERT_TRUE(countedIn(*statistics));
  EXPECT_TRUE(exercises->isVisible());
  QTableWidget* items = exercises->items();
  ASSERT_EQ(items->rowCount(), 2);
  const QStringList third = {"M3", "2", "50%", "-14 \u00b1 26 cents"};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(items->item(0, c)->text(), third[c]) << c;
  EXPECT_EQ(items->item(1, 3)->text(), QString::fromUtf8("+2 \u00b1 0 cents"));
  QTableWidget* map = exercises->confusion();
  ASSERT_EQ(map->rowCount(), 3) << "M3, P5 and m3, asked or answered";
  EXPECT_EQ(map->verticalHeaderItem(0)->text(), "M3");
  EXPECT_EQ(map->horizontalHeaderItem(2)->text(), "m3");
  ASSERT_NE(map->item(0, 2), nullptr);
  EXPECT_EQ(map->item(0, 2)->text(), "1") << "M3 taken for m3 once";
  EXPECT_EQ(map->item(2, 0), nullptr) << "m3 was never asked";

  statistics->setLesson(LessonMode::Identify);
  EXPECT_FALSE(exercises->isVisible());
}

}  // namespace
}  // namespace auralis::testing
