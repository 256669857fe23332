#pragma once

#include <QAction>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QStatusBar>
#include <QToolButton>

#include "app/HistoryPaths.h"
#include "app/HistoryStore.h"
#include "app/Menus.h"
#include "app/StatisticsWindow.h"
#include "app/ToolBar.h"

namespace auralis {

// The answer history as the main window offers it: the store that records every judged answer,
// View > Statistics..., File > Export history..., a tool bar button, and a status bar panel that
// tells of the store's faults. Owned by the main window (a member or held by a smart pointer),
// declared before the lesson that records into it.
class HistoryFeature : public QObject {
 public:
  explicit HistoryFeature(QWidget* mainWindow, QString databasePath = historyDatabasePath());
  ~HistoryFeature() override;
  HistoryFeature(const HistoryFeature&) = delete;
  HistoryFeature& operator=(const HistoryFeature&) = delete;

  // The menu items and the tool button; the statistics name notes as View's check mark says.
  void addHistoryActions(MainMenu& menus, ToolBar& toolBar);
  // A panel at the right end of the status bar, shown once a notice arrives.
  void showNoticesIn(QStatusBar* bar);

  AnswerRecorder& recorder() { return store_; }
  HistoryStore& store() { return store_; }
  void showStatistics();
  void closeStatistics();
  StatisticsWindow* statisticsWindow() const { return statistics_; }
  QLabel* noticePanel() const { return notice_; }

  QAction* Statistics1 = nullptr;
  QAction* ExportHistory1 = nullptr;
  QToolButton* toolButtonStatistics = nullptr;

 private:
  void showNotice(const QString& text);

  QWidget* mainWindow_;
  HistoryStore store_;
  QAction* solfegeItem_ = nullptr;
  QPointer<StatisticsWindow> statistics_;
  QLabel* notice_ = nullptr;
  QString pendingNotice_;  // arrived before the status bar was given
};

inline constexpr int kNoticePanelWidth = 420;

}  // namespace auralis
