#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <vector>

#include "history/HistoryQueries.h"

class QPainter;

namespace auralis {

// A titled chart that draws itself to fit its size; "No answers" (or its own empty text) when it
// has nothing to show, and "Counting..." while its answers are being counted. Right of the title
// it says what it rests on ("134 sung notes").
class ChartView : public QWidget {
 public:
  ChartView(const QString& title, QWidget* parent,
            const QString& emptyText = QStringLiteral("No answers"));
  void setBasis(const QString& basis);
  const QString& basis() const { return basis_; }
  // The twelve pitch classes as the charts name them.
  void setNoteNames(const QStringList& names);
  const QStringList& noteNames() const { return noteNames_; }
  // Until the next setData().
  void setWaiting();
  bool waiting() const { return waiting_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  virtual bool hasData() const = 0;
  virtual void paintPlot(QPainter& painter, const QRect& plot) = 0;
  // Margins around the plot for the axis labels: left, top, right, bottom.
  virtual QMargins plotMargins() const;
  // Horizontal grid lines with their values at the left (or right) edge of the plot.
  void drawValueAxis(QPainter& painter, const QRect& plot, double top, double step,
                     const QString& unit, bool right = false) const;
  // One label centred under each of `count` equal slots.
  void drawSlotLabels(QPainter& painter, const QRect& plot, const QStringList& labels) const;
  // For setData(): the chart draws what it was given.
  void dataArrived();
  QStringList noteNames_;

 private:
  QString title_;
  bool waiting_ = false;
  QString emptyText_;
  QString basis_;
};

inline constexpr const char* kChartWaitingText = "Counting...";

class AccuracyChart : public ChartView {
 public:
  explicit AccuracyChart(QWidget* parent);
  void setData(const std::array<NoteCounts, 12>& notes);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;

 private:
  std::array<NoteCounts, 12> notes_{};
};

// A note name of a chart and the box its text takes.
struct ChartLabel {
  QRect box;
  QString text;
};

// Where the confusion map's note names go: one beside each row and one under each column of the
// square of cells at `plot`. Column names that are wider than a cell go on two lines, every
// second one lower; where even that is too tight, and for rows lower than a name, only every
// second (third, ...) name is written, so that no two names ever touch.
std::vector<ChartLabel> confusionLabels(const QRect& plot, const QStringList& names,
                                        const QFontMetrics& metrics);

class ConfusionChart : public ChartView {
 public:
  explicit ConfusionChart(QWidget* parent);
  void setData(const std::array<std::array<int, 12>, 12>& confusion);
  // The square of cells for the chart's present size.
  QRect cellSquare() const;

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;
  QMargins plotMargins() const override;

 private:
  std::array<std::array<int, 12>, 12> confusion_{};
};

class DailyChart : public ChartView {
 public:
  explicit DailyChart(QWidget* parent);
  void setData(std::vector<DayStats> days);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;
  QMargins plotMargins() const override;

 private:
  std::vector<DayStats> days_;
};

class LevelChart : public ChartView {
 public:
  explicit LevelChart(QWidget* parent);
  void setData(std::vector<LevelPoint> points);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;

 private:
  std::vector<LevelPoint> points_;
};

class IntonationChart : public ChartView {
 public:
  explicit IntonationChart(QWidget* parent);
  void setData(const std::array<Intonation, 12>& notes);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;

 private:
  std::array<Intonation, 12> notes_{};
};

// The share of each day's sung notes within 10 and within 25 cents of their note's centre.
class TuningChart : public ChartView {
 public:
  explicit TuningChart(QWidget* parent);
  void setData(std::vector<TuningDay> days);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;

 private:
  std::vector<TuningDay> days_;
};

// Each long-tone take in the order sung: its time within 10 and within 25 cents.
class LongToneChart : public ChartView {
 public:
  explicit LongToneChart(QWidget* parent);
  void setData(std::vector<LongToneTake> takes);

 protected:
  bool hasData() const override;
  void paintPlot(QPainter& painter, const QRect& plot) override;

 private:
  std::vector<LongToneTake> takes_;
};

// "1 sung note", "134 sung notes": what a chart rests on.
QString countOf(int count, const QString& one, const QString& many);

// The colour of an accuracy from 0 (red) through amber to 1 (green).
QColor accuracyColour(double accuracy);
// A heat-map cell: white for 0, deep blue for 1.
QColor heatColour(double share);
// Sharp notes red, flat notes blue, within `inTuneCents` green.
QColor intonationColour(double meanCents);
inline constexpr double kInTuneCents = 10;

}  // namespace auralis
