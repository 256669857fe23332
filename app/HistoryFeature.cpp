#include "app/HistoryFeature.h"

#include <utility>

namespace auralis {

HistoryFeature::HistoryFeature(QWidget* mainWindow, QString databasePath)
    : mainWindow_(mainWindow), store_(std::move(databasePath)) {
  connect(&store_, &HistoryStore::notice, this, [this](const QString& text) { showNotice(text); });
}

// The statistics window reads the store; it goes first.
HistoryFeature::~HistoryFeature() {
  delete statistics_;
}

void HistoryFeature::addHistoryActions(MainMenu& menus, ToolBar& toolBar) {
  solfegeItem_ = menus.Solfege1;
  Statistics1 = new QAction(QStringLiteral("S&tatistics..."), menus.mnuView);
  Statistics1->setObjectName(QStringLiteral("Statistics1"));
  Statistics1->setStatusTip(
      QStringLiteral("Show how your answers went, note by note and day by day"));
  const QList<QAction*> viewItems = menus.mnuView->actions();
  // After the visible view items, before the hidden options.
  menus.mnuView->insertSeparator(viewItems.value(3));
  menus.mnuView->insertAction(viewItems.value(3), Statistics1);

  ExportHistory1 = new QAction(QStringLiteral("&Export history..."), menus.mnuFile);
  ExportHistory1->setObjectName(QStringLiteral("ExportHistory1"));
  ExportHistory1->setStatusTip(QStringLiteral("Save every kept answer to a CSV file"));
  menus.mnuFile->insertAction(menus.Quit1, ExportHistory1);
  menus.mnuFile->insertSeparator(menus.Quit1);

  toolButtonStatistics = toolBar.appendButton("toolButtonStatistics", "Statistics", "statistics");
  toolButtonStatistics->setStatusTip(Statistics1->statusTip());

  connect(Statistics1, &QAction::triggered, this, [this] { showStatistics(); });
  connect(toolButtonStatistics, &QToolButton::clicked, this, [this] { showStatistics(); });
  connect(ExportHistory1, &QAction::triggered, this,
          [this] { exportHistoryDialog(mainWindow_, store_); });
  connect(solfegeItem_, &QAction::toggled, this, [this](bool solfege) {
    if (statistics_) statistics_->setSolfegeNames(solfege);
  });
}

void HistoryFeature::showNoticesIn(NoticeLine* line) {
  notices_ = line;
  for (const QString& text : std::exchange(pendingNotices_, {})) notices_->addNotice(text);
}

void HistoryFeature::showNotice(const QString& text) {
  if (notices_ == nullptr) {
    pendingNotices_.append(text);
  } else {
    notices_->addNotice(text);
  }
}

void HistoryFeature::showStatistics() {
  if (!statistics_) {
    // A window of its own, beside the main window rather than on top of it.
    statistics_ = new StatisticsWindow(store_);
    statistics_->setAttribute(Qt::WA_DeleteOnClose);
    if (mainWindow_ != nullptr) statistics_->setScreen(mainWindow_->screen());
  } else {
    statistics_->refresh();
  }
  statistics_->setSolfegeNames(solfegeItem_ == nullptr || solfegeItem_->isChecked());
  statistics_->show();
  statistics_->raise();
  statistics_->activateWindow();
}

void HistoryFeature::closeStatistics() {
  if (statistics_) statistics_->close();
}

}  // namespace auralis
