#include "display/PitchGraph.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>

#include "engine/Notes.h"

namespace auralis {

using display::GraphMarks;
using display::kGraphPalette;
using display::PitchGraphLayout;

namespace {

constexpr int kNamePixels = 11;
constexpr int kDeviationPixels = 16;
constexpr int kSungNamePixels = 26;
constexpr int kPadding = 6;
constexpr int kNameSpacing = 3;
// Consecutive frames further apart than this are a leap, not a glide, and are not joined.
constexpr double kLeapSemitones = 1.5;
constexpr double kSungLineWidth = 2.0;
constexpr double kNowDotRadius = 3.0;

QColor qColorOf(display::Rgb rgb) {
  return {rgb.red, rgb.green, rgb.blue};
}

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The band between two pitches, across the plot.
QRectF rowsBetween(const PitchGraphLayout& layout, double upper, double lower) {
  const double top = layout.yOf(upper);
  return {QPointF(layout.plotLeft, top), QPointF(layout.plotRight, layout.yOf(lower))};
}

}  // namespace

PitchGraph::PitchGraph(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PitchGraph"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  nameFont_ = font();
  nameFont_.setPixelSize(kNamePixels);
  deviationFont_ = font();
  deviationFont_.setPixelSize(kDeviationPixels);
  deviationFont_.setBold(true);
  sungNameFont_ = deviationFont_;
  sungNameFont_.setPixelSize(kSungNamePixels);
  deviationWidth_ =
      QFontMetrics(deviationFont_).horizontalAdvance(QStringLiteral("-50 cents")) + 2 * kPadding;
  setView(view_);
}

void PitchGraph::addFrame(std::optional<SungPitch> pitch) {
  history_.add(pitch ? std::optional<double>(pitch->semitones) : std::nullopt);
  follower_.follow(history_, questionNotes());
  update();
}

void PitchGraph::setQuestionNotes(std::span<const int> notes) {
  questionCount_ = static_cast<int>(std::min(notes.size(), questionNotes_.size()));
  std::copy_n(notes.begin(), questionCount_, questionNotes_.begin());
  update();
}

void PitchGraph::setView(display::NoteView view) {
  view_ = view;
  const QFontMetrics metrics(nameFont_);
  int widest = 0;
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
    const QString name = latin1(display::graphNameOf(view, pitchClass));
    names_[pitchClass].setText(name);
    names_[pitchClass].prepare(QTransform(), nameFont_);
    widest = std::max(widest, metrics.horizontalAdvance(name));
  }
  gutterWidth_ = widest + 2 * kPadding;
  update();
}

std::span<const int> PitchGraph::questionNotes() const {
  return {questionNotes_.data(), static_cast<std::size_t>(questionCount_)};
}

display::PitchGraphLayout PitchGraph::graphLayout() const {
  return display::pitchGraphLayoutFor(width(), height(), gutterWidth_, deviationWidth_,
                                      follower_.range());
}

int PitchGraph::nameHeight() const {
  // Names are capitals: they need their cap height and a little space, not room for descenders.
  return QFontMetrics(nameFont_).capHeight() + kNameSpacing;
}

QSize PitchGraph::sizeHint() const {
  return {765, 180};
}

void PitchGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), qColorOf(kGraphPalette.background));
  const PitchGraphLayout layout = graphLayout();
  if (layout.plotWidth() <= 0 || layout.height <= 0) return;
  const GraphMarks marks = display::graphMarksOf(questionNotes(), history_);
  paintRows(painter, layout, marks);
  paintNames(painter, layout, marks);
  paintSungLine(painter, layout);
  paintDeviation(painter, layout);
}

void PitchGraph::paintRows(QPainter& painter, const PitchGraphLayout& layout,
                           const GraphMarks& marks) const {
  painter.save();
  painter.setClipRect(layout.plotLeft, 0, layout.plotWidth(), layout.height);
  for (int note = layout.lowestNote(); note <= layout.highestNote(); ++note) {
    const QRectF row = rowsBetween(layout, note + 0.5, note - 0.5);
    if (marks.questionRow(note))
      painter.fillRect(row, qColorOf(kGraphPalette.questionRow));
    else if (isBlackKey(pitchClassOf(note)))
      painter.fillRect(row, qColorOf(kGraphPalette.blackKeyRow));
    if (marks.inTuneBandAround(note))
      painter.fillRect(
          rowsBetween(layout, note + display::kInTuneAbove, note + display::kInTuneBelow),
          qColorOf(kGraphPalette.inTuneBand));
    const display::Rgb line = marks.questionRow(note)   ? kGraphPalette.questionLine
                              : pitchClassOf(note) == 0 ? kGraphPalette.octaveLine
                                                        : kGraphPalette.noteLine;
    painter.setPen(qColorOf(line));
    const int y = static_cast<int>(std::lround(layout.yOf(note)));
    painter.drawLine(layout.plotLeft, y, layout.plotRight - 1, y);
  }
  painter.restore();
  painter.setPen(qColorOf(kGraphPalette.octaveLine));
  painter.drawLine(layout.plotLeft, 0, layout.plotLeft, layout.height - 1);
  painter.drawLine(layout.plotRight, 0, layout.plotRight, layout.height - 1);
}

void PitchGraph::paintNames(QPainter& painter, const PitchGraphLayout& layout,
                            const GraphMarks& marks) {
  painter.setFont(nameFont_);
  const int textHeight = nameHeight();
  for (int note = layout.lowestNote(); note <= layout.highestNote(); ++note) {
    if (!marks.questionRow(note) && !display::noteLabelled(layout, note, textHeight)) continue;
    const QStaticText& name = names_[pitchClassOf(note)];
    const double x = layout.plotLeft - kPadding / 2.0 - name.size().width();
    const double y = layout.yOf(note) - name.size().height() / 2;
    painter.setPen(marks.questionRow(note) ? qColorOf(kGraphPalette.questionLine) : Qt::black);
    painter.drawStaticText(QPointF(x, y), name);
  }
}

void PitchGraph::paintSungLine(QPainter& painter, const PitchGraphLayout& layout) {
  painter.save();
  painter.setClipRect(layout.plotLeft, 0, layout.plotWidth(), layout.height);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor colour = qColorOf(kGraphPalette.sungLine);
  painter.setPen(QPen(colour, kSungLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  int count = 0;
  double previous = 0.0;
  const auto drawRun = [&] {
    if (count == 1) painter.drawPoint(linePoints_[0]);
    if (count > 1) painter.drawPolyline(linePoints_.data(), count);
    count = 0;
  };
  const int size = history_.size();
  for (int i = 0; i < size; ++i) {
    const auto value = history_.at(i);
    if (!value || (count > 0 && std::abs(*value - previous) > kLeapSemitones)) drawRun();
    if (!value) continue;
    linePoints_[count++] = QPointF(layout.xOfFrame(i, size), layout.yOf(*value));
    previous = *value;
  }
  drawRun();
  if (const auto latest = history_.latest()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(layout.xOfFrame(size - 1, size), layout.yOf(*latest)),
                        kNowDotRadius, kNowDotRadius);
  }
  painter.restore();
}

void PitchGraph::paintDeviation(QPainter& painter, const PitchGraphLayout& layout) {
  const std::optional<display::Deviation> shown = display::shownDeviation(history_);
  if (!shown) return;
  if (shown != deviationShown_) {
    deviation_.setText(QString::fromStdString(display::deviationText(shown->cents)));
    deviation_.prepare(QTransform(), deviationFont_);
    sungName_.setText(latin1(display::graphNameOf(view_, shown->note)));
    sungName_.prepare(QTransform(), sungNameFont_);
    deviationShown_ = shown;
  }
  painter.setPen(qColorOf(display::deviationInTune(shown->cents) ? kGraphPalette.inTuneText
                                                                 : kGraphPalette.outOfTuneText));
  // The nearest note's name over its deviation, centred in the strip right of the plot.
  const double middle = (layout.plotRight + layout.width) / 2.0;
  painter.setFont(sungNameFont_);
  painter.drawStaticText(QPointF(middle - sungName_.size().width() / 2, kPadding), sungName_);
  painter.setFont(deviationFont_);
  painter.drawStaticText(
      QPointF(middle - deviation_.size().width() / 2, kPadding + sungName_.size().height()),
      deviation_);
}

}  // namespace auralis
