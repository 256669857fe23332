#include "app/HistoryCharts.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "engine/Notes.h"
#include "history/HistorySchema.h"

namespace auralis {

namespace {

const QColor kGrid(225, 225, 225);
const QColor kAxisText(90, 90, 90);
const QColor kAccuracyLine(46, 139, 87);
const QColor kResponseLine(230, 126, 34);
const QColor kWithin10Line(46, 139, 87);
const QColor kWithin25Line(52, 120, 208);

struct LessonColour {
  LessonMode lesson;
  QColor colour;
};
const std::array<LessonColour, 5> kLessonColours = {{
    {LessonMode::Identify, QColor(52, 120, 208)},
    {LessonMode::Mimic, QColor(142, 68, 173)},
    {LessonMode::Sing, QColor(230, 126, 34)},
    {LessonMode::Unlock, QColor(22, 160, 133)},
    {LessonMode::Meditate, QColor(127, 140, 141)},
}};

QColor colourOf(LessonMode lesson) {
  for (const LessonColour& row : kLessonColours)
    if (row.lesson == lesson) return row.colour;
  return Qt::black;
}

QString captionOf(LessonMode lesson) {
  for (const LessonName& row : kLessonNames)
    if (row.lesson == lesson)
      return QString::fromLatin1(row.caption.data(), static_cast<qsizetype>(row.caption.size()));
  return {};
}

// A round step of about a fifth of `range`: 1, 2 or 5 times a power of ten.
double niceStep(double range) {
  const double rough = std::max(range, 1e-9) / 5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= rough) return factor * power;
  return 10 * power;
}

// The smallest round number at least `value`: 1, 1.25, 1.5, 2, 2.5, 3, 4, 5, 6 or 7.5 times a
// power of ten.
double roundUp(double value) {
  const double power = std::pow(10.0, std::floor(std::log10(std::max(value, 1.0))));
  for (double factor : {1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 7.5})
    if (factor * power >= value) return factor * power;
  return 10 * power;
}

double slotWidth(const QRect& plot, int count) {
  return static_cast<double>(plot.width()) / count;
}

// Days from the first to the last, each the centre of an equal slot.
class DayAxis {
 public:
  DayAxis(QDate first, QDate last, const QRect& plot)
      : first_(first), count_(static_cast<int>(first.daysTo(last)) + 1), plot_(plot) {}

  double x(QDate day) const {
    return plot_.left() + (static_cast<double>(first_.daysTo(day)) + 0.5) * slot();
  }

  void drawLabels(QPainter& painter) const {
    const QFontMetrics metrics = painter.fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00 Mmm")) + 8;
    const int every = std::max(1, static_cast<int>(std::ceil(labelWidth / slot())));
    painter.setPen(kAxisText);
    for (int i = 0; i < count_; i += every) {
      const QDate day = first_.addDays(i);
      const QRectF box(x(day) - labelWidth / 2.0, plot_.bottom() + 4, labelWidth, metrics.height());
      painter.drawText(box, Qt::AlignCenter, day.toString(QStringLiteral("d MMM")));
    }
  }

 private:
  double slot() const { return slotWidth(plot_, count_); }
  QDate first_;
  int count_;
  QRect plot_;
};

double yOf(const QRect& plot, double value, double top) {
  return plot.bottom() - value / top * plot.height();
}

void drawPolyline(QPainter& painter, const std::vector<QPointF>& points, const QColor& colour) {
  painter.setPen(QPen(colour, 2));
  // In pieces that share their ends: the painter strokes a long line that turns often far more
  // slowly than the same line in short pieces.
  constexpr std::size_t kPiece = 16;  // segments
  std::size_t first = 0;
  do {
    const std::size_t count = std::min(kPiece + 1, points.size() - first);
    painter.drawPolyline(points.data() + first, static_cast<int>(count));
    first += kPiece;
  } while (first + 1 < points.size());
  // A dot of radius 3 outlined by the 2-pixel pen is a filled disc of radius 4; filled without a
  // pen, a year of days draws in a fraction of the time the stroked outlines take.
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  for (const QPointF& p : points) painter.drawEllipse(p, 4, 4);
  painter.setBrush(Qt::NoBrush);
}

void drawLegend(QPainter& painter, const QRect& plot,
                const std::vector<std::pair<QString, QColor>>& entries) {
  const QFontMetrics metrics = painter.fontMetrics();
  int x = plot.left() + 4;
  const int y = plot.top() + 2;
  for (const auto& [text, colour] : entries) {
    painter.fillRect(QRect(x, y + metrics.height() / 2 - 2, 12, 4), colour);
    painter.setPen(kAxisText);
    painter.drawText(QPoint(x + 16, y + metrics.ascent()), text);
    x += 28 + metrics.horizontalAdvance(text);
  }
}

// The two shares of the singing charts, in percent, with their legend above the plot.
void drawTuningLines(QPainter& painter, const QRect& plot, const std::vector<QPointF>& within10,
                     const std::vector<QPointF>& within25) {
  drawPolyline(painter, within25, kWithin25Line);
  drawPolyline(painter, within10, kWithin10Line);
  drawLegend(painter, plot.translated(0, -painter.fontMetrics().height() - 4),
             {{QStringLiteral("within 10 cents"), kWithin10Line},
              {QStringLiteral("within 25 cents"), kWithin25Line}});
}

}  // namespace

QColor accuracyColour(double accuracy) {
  const double a = std::clamp(accuracy, 0.0, 1.0);
  // Red to amber over the lower half, amber to green over the upper.
  const QColor red(214, 69, 65), amber(241, 196, 15), green(46, 160, 87);
  const QColor& from = a < 0.5 ? red : amber;
  const QColor& to = a < 0.5 ? amber : green;
  const double t = a < 0.5 ? a * 2 : (a - 0.5) * 2;
  return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * t),
                          static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * t),
                          static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * t));
}

QColor heatColour(double share) {
  const double s = std::clamp(share, 0.0, 1.0);
  const auto mix = [s](int white, int deep) {
    return static_cast<int>(white + (deep - white) * s);
  };
  return QColor(mix(255, 16), mix(255, 63), mix(255, 145));
}

QColor intonationColour(double meanCents) {
  if (meanCents > kInTuneCents) return QColor(214, 69, 65);
  if (meanCents < -kInTuneCents) return QColor(52, 120, 208);
  return QColor(46, 160, 87);
}

QString countOf(int count, const QString& one, const QString& many) {
  return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

ChartView::ChartView(const QString& title, QWidget* parent, const QString& emptyText)
    : QWidget(parent), title_(title), emptyText_(emptyText) {
  // Three across and three down fit a screen of 640 by 480.
  setMinimumSize(180, 120);
  for (std::string_view name : LetterSharpNames)
    noteNames_ << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void ChartView::setBasis(const QString& basis) {
  basis_ = basis;
  update();
}

void ChartView::setNoteNames(const QStringList& names) {
  noteNames_ = names;
  update();
}

void ChartView::setWaiting() {
  waiting_ = true;
  update();
}

void ChartView::dataArrived() {
  waiting_ = false;
  update();
}

QMargins ChartView::plotMargins() const {
  const QFontMetrics metrics = fontMetrics();
  return {metrics.horizontalAdvance(QStringLiteral("100%")) + 10, 2 * metrics.height() + 6, 10,
          metrics.height() + 8};
}

void ChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(QColor(200, 200, 200));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  QFont bold = font();
  bold.setBold(true);
  painter.setFont(bold);
  const QRect titleRow = rect().adjusted(8, 4, -8, 0);
  const int basisWidth = basis_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(basis_) + 12;
  painter.setPen(Qt::black);
  painter.drawText(
      titleRow.adjusted(0, 0, -basisWidth, 0), Qt::AlignLeft | Qt::AlignTop,
      painter.fontMetrics().elidedText(title_, Qt::ElideRight, titleRow.width() - basisWidth));
  painter.setFont(font());
  painter.setPen(kAxisText);
  // What it rests on is not known until the count arrives.
  if (!waiting_) painter.drawText(titleRow, Qt::AlignRight | Qt::AlignTop, basis_);
  if (waiting_ || !hasData()) {
    painter.drawText(rect(), Qt::AlignCenter,
                     waiting_ ? QString::fromLatin1(kChartWaitingText) : emptyText_);
    return;
  }
  paintPlot(painter, rect() - plotMargins());
}

void ChartView::drawValueAxis(QPainter& painter, const QRect& plot, double top, double step,
                              const QString& unit, bool right) const {
  const QFontMetrics metrics = painter.fontMetrics();
  for (double value = 0; value <= top + step / 2; value += step) {
    const int y = static_cast<int>(std::lround(yOf(plot, value, top)));
    if (!right) {
      painter.setPen(kGrid);
      painter.drawLine(plot.left(), y, plot.right(), y);
    }
    painter.setPen(kAxisText);
    const QString text = QString::number(value) + unit;
    const QRect box = right
                          ? QRect(plot.right() + 4, y - metrics.height() / 2, 60, metrics.height())
                          : QRect(0, y - metrics.height() / 2, plot.left() - 4, metrics.height());
    painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
  }
}

void ChartView::drawSlotLabels(QPainter& painter, const QRect& plot,
                               const QStringList& labels) const {
  const double slot = slotWidth(plot, static_cast<int>(labels.size()));
  painter.setPen(kAxisText);
  for (int i = 0; i < labels.size(); ++i) {
    const QRectF box(plot.left() + i * slot, plot.bottom() + 4, slot, fontMetrics().height());
    painter.drawText(box, Qt::AlignCenter, labels[i]);
  }
}

AccuracyChart::AccuracyChart(QWidget* parent)
    : ChartView(QStringLiteral("Accuracy per note"), parent) {}

void AccuracyChart::setData(const std::array<NoteCounts, 12>& notes) {
  notes_ = notes;
  dataArrived();
}

bool AccuracyChart::hasData() const {
  return std::any_of(notes_.begin(), notes_.end(), [](const NoteCounts& n) { return n.asked > 0; });
}

void AccuracyChart::paintPlot(QPainter& painter, const QRect& plot) {
  drawValueAxis(painter, plot, 100, 25, QStringLiteral("%"));
  const double slot = slotWidth(plot, 12);
  const QFontMetrics metrics = painter.fontMetrics();
  for (int note = 0; note < 12; ++note) {
    const NoteCounts& n = notes_[note];
    if (n.asked == 0) continue;
    const double accuracy = static_cast<double>(n.correct) / n.asked;
    const double top = yOf(plot, accuracy * 100, 100);
    const QRectF bar(plot.left() + note * slot + slot * 0.15, top, slot * 0.7, plot.bottom() - top);
    painter.fillRect(bar, accuracyColour(accuracy));
    if (slot >= metrics.horizontalAdvance(QStringLiteral("100")) + 2) {
      painter.setPen(kAxisText);
      painter.drawText(
          QRectF(bar.left() - slot * 0.15, top - metrics.height() - 1, slot, metrics.height()),
          Qt::AlignCenter, QString::number(std::lround(accuracy * 100)));
    }
  }
  drawSlotLabels(painter, plot, noteNames_);
}

ConfusionChart::ConfusionChart(QWidget* parent)
    : ChartView(QStringLiteral("Heard (rows) against answered (columns)"), parent) {}

void ConfusionChart::setData(const std::array<std::array<int, 12>, 12>& confusion) {
  confusion_ = confusion;
  dataArrived();
}

bool ConfusionChart::hasData() const {
  for (const auto& row : confusion_)
    for (int count : row)
      if (count > 0) return true;
  return false;
}

QMargins ConfusionChart::plotMargins() const {
  const QFontMetrics metrics = fontMetrics();
  // Room under the cells for two lines of names.
  return {metrics.horizontalAdvance(QStringLiteral("DO#")) + 10, 2 * metrics.height() + 6, 10,
          2 * metrics.height() + 6};
}

QRect ConfusionChart::cellSquare() const {
  // Square cells, as large as the area allows.
  const QRect area = rect() - plotMargins();
  const int cell = std::max(1, std::min(area.width(), area.height()) / 12);
  return {area.left(), area.top(), cell * 12, cell * 12};
}

std::vector<ChartLabel> confusionLabels(const QRect& plot, const QStringList& names,
                                        const QFontMetrics& metrics) {
  constexpr int kGap = 4;
  const int cell = plot.width() / 12;
  int widest = 0;
  for (const QString& name : names) widest = std::max(widest, metrics.horizontalAdvance(name));
  const int across = widest + kGap;
  const int lines = across <= cell ? 1 : 2;
  const int columnEvery = (across + lines * cell - 1) / (lines * cell);
  const int rowEvery = (metrics.height() + cell - 1) / cell;

  std::vector<ChartLabel> labels;
  for (int note = 0; note < 12 && note < names.size(); ++note) {
    const QString& name = names[note];
    const int width = metrics.horizontalAdvance(name);
    if (note % rowEvery == 0) {
      const int middle = plot.top() + note * cell + cell / 2;
      labels.push_back({QRect(plot.left() - kGap - width, middle - metrics.height() / 2, width,
                              metrics.height()),
                        name});
    }
    if (note % columnEvery == 0) {
      const int centre = plot.left() + note * cell + cell / 2;
      const int line = (note / columnEvery) % lines;
      labels.push_back({QRect(centre - width / 2, plot.bottom() + 3 + line * metrics.height(),
                              width, metrics.height()),
                        name});
    }
  }
  return labels;
}

void ConfusionChart::paintPlot(QPainter& painter, const QRect&) {
  const QRect plot = cellSquare();
  const int cell = plot.width() / 12;
  const QFontMetrics metrics = painter.fontMetrics();
  const bool counts =
      cell >= metrics.horizontalAdvance(QStringLiteral("000")) + 2 && cell >= metrics.height();
  for (int heard = 0; heard < 12; ++heard) {
    int rowTotal = 0;
    for (int count : confusion_[heard]) rowTotal += count;
    for (int answered = 0; answered < 12; ++answered) {
      const int count = confusion_[heard][answered];
      const double share = rowTotal > 0 ? static_cast<double>(count) / rowTotal : 0;
      const QRect box(plot.left() + answered * cell, plot.top() + heard * cell, cell, cell);
      painter.fillRect(box, heatColour(share));
      if (counts && count > 0) {
        painter.setPen(share > 0.5 ? Qt::white : Qt::black);
        painter.drawText(box, Qt::AlignCenter, QString::number(count));
      }
    }
  }
  painter.setPen(QPen(QColor(46, 160, 87), 1.5));
  for (int note = 0; note < 12; ++note)
    painter.drawRect(QRectF(plot.left() + note * cell + 0.5, plot.top() + note * cell + 0.5,
                            cell - 1, cell - 1));
  painter.setPen(kAxisText);
  for (const ChartLabel& label : confusionLabels(plot, noteNames_, metrics))
    painter.drawText(label.box, Qt::AlignCenter, label.text);
}

DailyChart::DailyChart(QWidget* parent)
    : ChartView(QStringLiteral("Accuracy and median response time per day"), parent) {}

void DailyChart::setData(std::vector<DayStats> days) {
  days_ = std::move(days);
  dataArrived();
}

bool DailyChart::hasData() const {
  return !days_.empty();
}

QMargins DailyChart::plotMargins() const {
  QMargins margins = ChartView::plotMargins();
  margins.setRight(fontMetrics().horizontalAdvance(QStringLiteral("0000 ms")) + 10);
  return margins;
}

void DailyChart::paintPlot(QPainter& painter, const QRect& plot) {
  drawValueAxis(painter, plot, 100, 25, QStringLiteral("%"));
  double slowest = 0;
  for (const DayStats& d : days_) slowest = std::max(slowest, d.medianResponseMs);
  // The times share the percentages' four grid lines.
  const double quarter = roundUp(slowest / 4);
  const double top = 4 * quarter;
  drawValueAxis(painter, plot, top, quarter, QStringLiteral(" ms"), true);

  const DayAxis axis(days_.front().day, days_.back().day, plot);
  std::vector<QPointF> accuracy;
  std::vector<QPointF> response;
  for (const DayStats& d : days_) {
    const double x = axis.x(d.day);
    accuracy.emplace_back(x, yOf(plot, 100.0 * d.correct / std::max(1, d.asked), 100));
    response.emplace_back(x, yOf(plot, d.medianResponseMs, top));
  }
  drawPolyline(painter, response, kResponseLine);
  drawPolyline(painter, accuracy, kAccuracyLine);
  axis.drawLabels(painter);
  drawLegend(painter, plot.translated(0, -fontMetrics().height() - 4),
             {{QStringLiteral("correct"), kAccuracyLine},
              {QStringLiteral("median response time"), kResponseLine}});
}

LevelChart::LevelChart(QWidget* parent)
    : ChartView(QStringLiteral("Highest level per lesson and day"), parent) {}

void LevelChart::setData(std::vector<LevelPoint> points) {
  points_ = std::move(points);
  dataArrived();
}

bool LevelChart::hasData() const {
  return !points_.empty();
}

void LevelChart::paintPlot(QPainter& painter, const QRect& plot) {
  QDate first = points_.front().day;
  QDate last = first;
  int highest = 1;
  for (const LevelPoint& p : points_) {
    first = std::min(first, p.day);
    last = std::max(last, p.day);
    highest = std::max(highest, p.level);
  }
  const double step = std::max(1.0, niceStep(highest));
  const double top = std::ceil(highest / step) * step;
  drawValueAxis(painter, plot, top, step, QString());
  const DayAxis axis(first, last, plot);
  std::vector<std::pair<QString, QColor>> legend;
  for (const LessonColour& row : kLessonColours) {
    std::vector<QPointF> line;
    for (const LevelPoint& p : points_)
      if (p.lesson == row.lesson) line.emplace_back(axis.x(p.day), yOf(plot, p.level, top));
    if (line.empty()) continue;
    drawPolyline(painter, line, row.colour);
    legend.emplace_back(captionOf(row.lesson), colourOf(row.lesson));
  }
  axis.drawLabels(painter);
  drawLegend(painter, plot.translated(0, -fontMetrics().height() - 4), legend);
}

IntonationChart::IntonationChart(QWidget* parent)
    : ChartView(QStringLiteral("Intonation per sung note (cents)"), parent,
                QStringLiteral("No sung notes")) {}

void IntonationChart::setData(const std::array<Intonation, 12>& notes) {
  notes_ = notes;
  dataArrived();
}

bool IntonationChart::hasData() const {
  return std::any_of(notes_.begin(), notes_.end(), [](const Intonation& n) { return n.count > 0; });
}

void IntonationChart::paintPlot(QPainter& painter, const QRect& plot) {
  // -50 to +50 cents, drawn as 0 to 100 on the shared value axis.
  constexpr double kRange = 50;
  const QFontMetrics metrics = painter.fontMetrics();
  for (double cents = -kRange; cents <= kRange; cents += 25) {
    const double y = yOf(plot, cents + kRange, 2 * kRange);
    painter.setPen(cents == 0 ? QPen(kAxisText, 1) : QPen(kGrid, 1));
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(kAxisText);
    painter.drawText(QRectF(0, y - metrics.height() / 2.0, plot.left() - 4, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     (cents > 0 ? QStringLiteral("+") : QString()) + QString::number(cents));
  }
  const double slot = slotWidth(plot, 12);
  const auto yOfCents = [&](double cents) {
    return yOf(plot, std::clamp(cents, -kRange, kRange) + kRange, 2 * kRange);
  };
  for (int note = 0; note < 12; ++note) {
    const Intonation& n = notes_[note];
    if (n.count == 0) continue;
    const double x = plot.left() + (note + 0.5) * slot;
    const QColor colour = intonationColour(n.meanCents);
    painter.setPen(QPen(colour, 2));
    const double low = yOfCents(n.meanCents - n.spreadCents);
    const double high = yOfCents(n.meanCents + n.spreadCents);
    painter.drawLine(QPointF(x, low), QPointF(x, high));
    painter.drawLine(QPointF(x - slot * 0.2, low), QPointF(x + slot * 0.2, low));
    painter.drawLine(QPointF(x - slot * 0.2, high), QPointF(x + slot * 0.2, high));
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(x, yOfCents(n.meanCents)), 4, 4);
    painter.setBrush(Qt::NoBrush);
  }
  drawSlotLabels(painter, plot, noteNames_);
  drawLegend(painter, plot.translated(0, -fontMetrics().height() - 4),
             {{QStringLiteral("sharp"), intonationColour(kRange)},
              {QStringLiteral("in tune"), intonationColour(0)},
              {QStringLiteral("flat"), intonationColour(-kRange)}});
}

TuningChart::TuningChart(QWidget* parent)
    : ChartView(QStringLiteral("Sung notes in tune per day"), parent,
                QStringLiteral("No sung notes")) {}

void TuningChart::setData(std::vector<TuningDay> days) {
  days_ = std::move(days);
  dataArrived();
}

bool TuningChart::hasData() const {
  return !days_.empty();
}

void TuningChart::paintPlot(QPainter& painter, const QRect& plot) {
  drawValueAxis(painter, plot, 100, 25, QStringLiteral("%"));
  const DayAxis axis(days_.front().day, days_.back().day, plot);
  std::vector<QPointF> within10;
  std::vector<QPointF> within25;
  for (const TuningDay& d : days_) {
    const double x = axis.x(d.day);
    const double notes = std::max(1, d.notes);
    within10.emplace_back(x, yOf(plot, 100.0 * d.within10 / notes, 100));
    within25.emplace_back(x, yOf(plot, 100.0 * d.within25 / notes, 100));
  }
  drawTuningLines(painter, plot, within10, within25);
  axis.drawLabels(painter);
}

LongToneChart::LongToneChart(QWidget* parent)
    : ChartView(QStringLiteral("Long tones: time in tune per take"), parent,
                QStringLiteral("No long tones")) {}

void LongToneChart::setData(std::vector<LongToneTake> takes) {
  takes_ = std::move(takes);
  dataArrived();
}

bool LongToneChart::hasData() const {
  return !takes_.empty();
}

void LongToneChart::paintPlot(QPainter& painter, const QRect& plot) {
  drawValueAxis(painter, plot, 100, 25, QStringLiteral("%"));
  const int count = static_cast<int>(takes_.size());
  const double slot = slotWidth(plot, count);
  std::vector<QPointF> within10;
  std::vector<QPointF> within25;
  for (int i = 0; i < count; ++i) {
    const double x = plot.left() + (i + 0.5) * slot;
    within10.emplace_back(x, yOf(plot, 100.0 * takes_[i].within10, 100));
    within25.emplace_back(x, yOf(plot, 100.0 * takes_[i].within25, 100));
  }
  drawTuningLines(painter, plot, within10, within25);
  // The first take's day at the left, the last one's at the right.
  painter.setPen(kAxisText);
  const QRect under(plot.left(), plot.bottom() + 4, plot.width(), fontMetrics().height());
  const QString format = QStringLiteral("d MMM");
  painter.drawText(under, Qt::AlignLeft, takes_.front().at.toLocalTime().toString(format));
  if (count > 1)
    painter.drawText(under, Qt::AlignRight, takes_.back().at.toLocalTime().toString(format));
}

}  // namespace auralis
