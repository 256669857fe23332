#pragma once

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QToolButton>

#include "app/Menus.h"
#include "app/NoticeLine.h"
#include "app/StatisticsWindow.h"
#include "app/ToolBar.h"
#include "history/HistoryPaths.h"
#include "history/HistoryStore.h"

namespace auralis {

// The answer history as the main window offers it: the store that records every judged answer,
// View > Statistics..., File > Export history..., a tool bar button, and the notices of the
// store's faults in the window's notice line. Owned by the main window (a member or held by a smart
// pointer), declared before the lesson that records into it.
class HistoryFeature : public QObject {
 public:
  explicit HistoryFeature(QWidget* mainWindow, QString databasePath = historyDatabasePath());
  ~HistoryFeature() override;
  HistoryFeature(const HistoryFeature&) = delete;
  HistoryFeature& operator=(const HistoryFeature&) = delete;

  // The menu items and the tool button; the statistics name notes as View's check mark says.
  void addHistoryActions(MainMenu& menus, ToolBar& toolBar);
  // The store's notices go there, those that came before it was given too.
  void showNoticesIn(NoticeLine* line);

  AnswerRecorder& recorder() { return store_; }
  HistoryStore& store() { return store_; }
  void showStatistics();
  void closeStatistics();
  StatisticsWindow* statisticsWindow() const { return statistics_; }

  QAction* Statistics1 = nullptr;
  QAction* ExportHistory1 = nullptr;
  QToolButton* toolButtonStatistics = nullptr;

 private:
  void showNotice(const QString& text);

  QWidget* mainWindow_;
  HistoryStore store_;
  QAction* solfegeItem_ = nullptr;
  QPointer<StatisticsWindow> statistics_;
  NoticeLine* notices_ = nullptr;
  QStringList pendingNotices_;  // arrived before the notice line was given
};

}  // namespace auralis
