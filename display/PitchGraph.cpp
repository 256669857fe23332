#include "display/PitchGraph.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/Notes.h"

namespace auralis {

using display::GraphMarks;
using display::kGraphPalette;
using display::PitchGraphLayout;

namespace {

constexpr int kNamePixels = 11;
constexpr int kDeviationPixels = 16;
constexpr int kSungNamePixels = 26;
constexpr int kMostCents = 50;  // from the nearest note
constexpr int kPadding = 6;
constexpr int kNameSpacing = 3;

QColor qColorOf(display::Rgb rgb) {
  return {rgb.red, rgb.green, rgb.blue};
}

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A coverage from 0 to 1 in 256ths: whole numbers are cheaper.
int weightOf(double cover) {
  return static_cast<int>(cover * 256 + 0.5);
}

// The colour laid over a pixel with the given weight. Red and blue are mixed together, a channel
// in each half of the word: under + (over - under) * weight / 256, rounded down, for each channel.
QRgb blended(QRgb under, QRgb over, int weight) {
  const auto keep = static_cast<quint32>(256 - weight);
  const auto take = static_cast<quint32>(weight);
  const quint32 redBlue =
      (((under & 0xff00ffu) * keep + (over & 0xff00ffu) * take) >> 8) & 0xff00ffu;
  const quint32 green = (((under & 0x00ff00u) * keep + (over & 0x00ff00u) * take) >> 8) & 0x00ff00u;
  return 0xff000000u | redBlue | green;
}

// The rows a span touches, the last exclusive.
std::pair<int, int> rowsOf(const display::TraceSpan& span) {
  return {static_cast<int>(std::floor(span.top)), static_cast<int>(std::ceil(span.bottom))};
}

// The pixels that a set of spans covers.
QRect boundsOf(std::span<const display::TraceSpan> spans) {
  if (spans.empty()) return {};
  int left = spans.front().column;
  int right = left;
  double top = spans.front().top;
  double bottom = spans.front().bottom;
  for (const display::TraceSpan& span : spans) {
    left = std::min(left, span.column);
    right = std::max(right, span.column);
    top = std::min(top, span.top);
    bottom = std::max(bottom, span.bottom);
  }
  const int firstRow = static_cast<int>(std::floor(top));
  return {left, firstRow, right - left + 1, static_cast<int>(std::ceil(bottom)) - firstRow};
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
  captionFont_ = deviationFont_;
}

void PitchGraph::addFrame(std::optional<SungPitch> pitch) {
  history_.add(pitch ? std::optional<double>(pitch->semitones) : std::nullopt);
  follower_.follow(history_, questionNotes(), keptNote());
  // The picture is brought up to date now, so that only what changed is repainted.
  if (isVisible())
    update(updatePicture());
  else
    pictureStale_ = true;
}

void PitchGraph::setQuestionNotes(std::span<const int> notes) {
  questionCount_ = static_cast<int>(std::min(notes.size(), questionNotes_.size()));
  std::copy_n(notes.begin(), questionCount_, questionNotes_.begin());
  pictureStale_ = true;
  update();
}

void PitchGraph::setView(display::NoteView view) {
  view_ = view;
  textStale_ = true;
  gridRange_.reset();  // the names are part of the grid
  pictureStale_ = true;
  update();
}

void PitchGraph::prepareText() const {
  if (!textStale_) return;
  textStale_ = false;
  deviationWidth_ =
      QFontMetrics(deviationFont_).horizontalAdvance(QStringLiteral("-50 cents")) + 2 * kPadding;
  deviationHeight_ =
      QFontMetrics(sungNameFont_).height() + QFontMetrics(deviationFont_).height() + 2 * kPadding;
  const QFontMetrics metrics(nameFont_);
  int widest = 0;
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass) {
    const QString name = latin1(display::graphNameOf(view_, pitchClass));
    names_[pitchClass].setText(name);
    names_[pitchClass].prepare(QTransform(), nameFont_);
    sungNames_[pitchClass].setText(name);
    sungNames_[pitchClass].prepare(QTransform(), sungNameFont_);
    widest = std::max(widest, metrics.horizontalAdvance(name));
  }
  gutterWidth_ = widest + 2 * kPadding;
}

std::span<const int> PitchGraph::questionNotes() const {
  return {questionNotes_.data(), static_cast<std::size_t>(questionCount_)};
}

display::PitchGraphLayout PitchGraph::graphLayout() const {
  prepareText();
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

void PitchGraph::paintEvent(QPaintEvent* event) {
  if (pictureStale_ || picture_.size() != size()) updatePicture();
  QPainter painter(this);
  painter.drawImage(event->rect(), picture_, event->rect());
  const PitchGraphLayout layout = graphLayout();
  if (!caption_.isEmpty() && event->rect().intersects(captionArea(layout)))
    paintCaption(painter, layout);
}

void PitchGraph::setCaption(const QString& text, const QColor& colour) {
  if (text == caption_ && colour == captionColour_) return;
  // A hidden graph is painted whole when shown: nothing needs measuring before then.
  if (!isVisible()) {
    caption_ = text;
    captionColour_ = colour;
    return;
  }
  const PitchGraphLayout layout = graphLayout();
  const QRect before = captionArea(layout);
  caption_ = text;
  captionColour_ = colour;
  update(before | captionArea(layout));
}

QRect PitchGraph::captionArea(const PitchGraphLayout& layout) const {
  if (caption_.isEmpty()) return {};
  const QFontMetrics metrics(captionFont_);
  // A pixel to spare, so that a text that fits is never elided by rounding.
  const int width = std::min(metrics.horizontalAdvance(caption_) + 2 * kPadding + 2,
                             std::max(0, layout.plotWidth() - deviationWidth_));
  return {layout.plotLeft + kPadding, kPadding, width, metrics.height() + kPadding};
}

// On a pale box, so that it reads over the rows and the line alike.
void PitchGraph::paintCaption(QPainter& painter, const PitchGraphLayout& layout) const {
  const QRect area = captionArea(layout);
  painter.fillRect(area, QColor(255, 255, 255, 225));
  painter.setPen(captionColour_);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  painter.setFont(captionFont_);
  painter.drawText(
      area, Qt::AlignCenter,
      QFontMetrics(captionFont_).elidedText(caption_, Qt::ElideRight, area.width() - 2 * kPadding));
}

QRect PitchGraph::updatePicture() {
  pictureStale_ = false;
  if (picture_.size() != size()) {
    grid_ = QImage(size(), QImage::Format_RGB32);
    picture_ = QImage(size(), QImage::Format_RGB32);
    trace_.resize(display::traceCapacityFor(width()));
    gridRange_.reset();
  }
  if (picture_.isNull()) return {};
  const PitchGraphLayout layout = graphLayout();
  const GraphMarks marks = display::graphMarksOf(questionNotes(), history_);
  QRect changed;
  if (gridRange_ != layout.range || !(gridMarks_ == marks) || gridTarget_ != target_) {
    paintGrid(layout, marks);
    changed = picture_.rect();
  } else {
    // The spans lie inside the picture, so their pixels are copied without a clip.
    const std::size_t stride = picture_.bytesPerLine() / sizeof(QRgb);
    QRgb* picture = reinterpret_cast<QRgb*>(picture_.bits());
    const QRgb* grid = reinterpret_cast<const QRgb*>(grid_.constBits());
    for (int i = 0; i < traceCount_; ++i) {
      const auto [top, bottom] = rowsOf(trace_[i]);
      for (int y = top; y < bottom; ++y) {
        const std::size_t at = y * stride + trace_[i].column;
        picture[at] = grid[at];
      }
    }
    changed = boundsOf(std::span(trace_).first(traceCount_));
  }
  if (layout.plotWidth() <= 0 || layout.height <= 0) return changed;
  paintSungLine(layout);
  changed |= boundsOf(std::span(trace_).first(traceCount_));
  const std::optional<display::Deviation> shown = display::shownDeviation(history_);
  if (deviationStale_ || shown != deviationShown_) {
    deviationShown_ = shown;
    deviationStale_ = false;
    paintDeviation(layout);
    changed |= deviationArea(layout);
  }
  return changed;
}

void PitchGraph::paintGrid(const PitchGraphLayout& layout, const GraphMarks& marks) {
  grid_.fill(qColorOf(kGraphPalette.background));
  if (layout.plotWidth() > 0 && layout.height > 0) {
    QPainter painter(&grid_);
    paintRows(painter, layout, marks);
    paintTargetBand(painter, layout);
    paintNames(painter, layout, marks);
  }
  std::memcpy(picture_.bits(), grid_.constBits(), static_cast<std::size_t>(grid_.sizeInBytes()));
  gridRange_ = layout.range;
  gridMarks_ = marks;
  gridTarget_ = target_;
  deviationLines_ = {};  // drawn over the grid
  traceCount_ = 0;
  deviationStale_ = true;
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
    const int y = static_cast<int>(std::lround(layout.yOf(note)));
    painter.fillRect(layout.plotLeft, y, layout.plotWidth(), 1, qColorOf(line));
  }
  painter.restore();
  const QColor border = qColorOf(kGraphPalette.octaveLine);
  painter.fillRect(layout.plotLeft, 0, 1, layout.height, border);
  painter.fillRect(layout.plotRight, 0, 1, layout.height, border);
}

void PitchGraph::paintNames(QPainter& painter, const PitchGraphLayout& layout,
                            const GraphMarks& marks) const {
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

std::optional<int> PitchGraph::keptNote() const {
  return target_ ? std::optional(target_->note) : std::nullopt;
}

void PitchGraph::setTargetBand(std::optional<display::TargetBand> band) {
  if (band == target_) return;
  target_ = band;
  if (band) {
    const int note = band->note;
    setQuestionNotes(std::span(&note, 1));
  } else {
    setQuestionNotes({});
  }
  // The band is in sight at once, before the next frame moves the range.
  follower_.follow(history_, questionNotes(), keptNote());
  update();
}

// Over the rows, under the names and the sung line: the notes that count as the answer.
void PitchGraph::paintTargetBand(QPainter& painter, const PitchGraphLayout& layout) const {
  if (!target_) return;
  painter.save();
  painter.setClipRect(layout.plotLeft + 1, 0, layout.plotWidth() - 1, layout.height);
  const double half = target_->cents / 100.0;
  for (int note : display::targetNotesIn(*target_, layout.lowestNote(), layout.highestNote()))
    painter.fillRect(rowsBetween(layout, note + half, note - half),
                     qColorOf(kGraphPalette.targetBand));
  painter.restore();
}

// Writes the line's pixels straight into the picture: a path stroked by the painter would cost
// more than the rest of the frame together.
void PitchGraph::paintSungLine(const PitchGraphLayout& layout) {
  traceCount_ = display::traceSpansOf(history_, layout, trace_);
  const std::size_t stride = picture_.bytesPerLine() / sizeof(QRgb);
  QRgb* picture = reinterpret_cast<QRgb*>(picture_.bits());
  const display::Rgb colour = kGraphPalette.sungLine;
  const QRgb solid = qRgb(colour.red, colour.green, colour.blue);
  for (int i = 0; i < traceCount_; ++i) {
    const display::TraceSpan& span = trace_[i];
    const auto [top, bottom] = rowsOf(span);
    QRgb* pixel = picture + top * stride + span.column;
    if (bottom - top == 1) {
      *pixel = blended(*pixel, solid, weightOf(span.bottom - span.top));
      continue;
    }
    // Only the end rows are partly covered.
    *pixel = blended(*pixel, solid, weightOf(top + 1 - span.top));
    for (int y = top + 1; y < bottom - 1; ++y) *(pixel += stride) = solid;
    pixel += stride;
    *pixel = blended(*pixel, solid, weightOf(span.bottom - (bottom - 1)));
  }
}

QRect PitchGraph::deviationArea(const PitchGraphLayout& layout) const {
  return {layout.plotRight + 1, 0, layout.width - layout.plotRight - 1, deviationHeight_};
}

// The nearest note's name over its deviation, centred in the strip right of the plot. Each of the
// two lines is drawn once over the grid, when first shown, and copied into the picture from then
// on: a frame costs a few rows of pixels instead of the layout of two texts.
void PitchGraph::paintDeviation(const PitchGraphLayout& layout) {
  const QRect area = deviationArea(layout);
  if (area.isEmpty()) return;
  if (deviationLines_.area != area) deviationLines_ = {area, {}, {}};
  const int nameBottom = kPadding + static_cast<int>(sungNames_[0].size().height());
  const QRect nameRows(area.left(), area.top(), area.width(), nameBottom - area.top());
  const QRect centsRows(area.left(), nameBottom, area.width(), area.bottom() + 1 - nameBottom);
  if (!deviationShown_) {
    copyRows(grid_, area);
    return;
  }
  const int cents = std::clamp(deviationShown_->cents, -kMostCents, kMostCents);
  const bool inTune = display::deviationInTune(cents);
  const int pitchClass = pitchClassOf(deviationShown_->note);
  QImage& name = deviationLines_.names[static_cast<std::size_t>(2 * pitchClass + (inTune ? 1 : 0))];
  QImage& text = deviationLines_.cents[static_cast<std::size_t>(cents + kMostCents)];
  const QColor colour = qColorOf(inTune ? kGraphPalette.inTuneText : kGraphPalette.outOfTuneText);
  const double middle = (layout.plotRight + layout.width) / 2.0;
  if (name.isNull()) {
    const QStaticText& line = sungNames_[pitchClass];
    name = lineOverGrid(nameRows, line, sungNameFont_, colour,
                        QPointF(middle - line.size().width() / 2, kPadding));
  }
  if (text.isNull()) {
    QStaticText& line = centsTexts_[static_cast<std::size_t>(cents + kMostCents)];
    if (line.text().isEmpty()) {
      line.setText(QString::fromStdString(display::deviationText(cents)));
      line.prepare(QTransform(), deviationFont_);
    }
    text = lineOverGrid(centsRows, line, deviationFont_, colour,
                        QPointF(middle - line.size().width() / 2, nameBottom));
  }
  copyRows(name, nameRows);
  copyRows(text, centsRows);
}

// The grid's pixels of `rows` with the text written over them at `at`, in the widget's
// coordinates.
QImage PitchGraph::lineOverGrid(const QRect& rows, const QStaticText& text, const QFont& font,
                                const QColor& colour, QPointF at) const {
  QImage line = grid_.copy(rows);
  QPainter painter(&line);
  painter.translate(-rows.topLeft());
  painter.setPen(colour);
  painter.setFont(font);
  painter.drawStaticText(at, text);
  return line;
}

// Copies an image of `area`'s size, or the same area of one of the widget's size, into the
// picture at `area`.
void PitchGraph::copyRows(const QImage& from, const QRect& area) {
  const QRect inside = area.intersected(picture_.rect());
  const QPoint origin = from.size() == picture_.size() ? QPoint() : area.topLeft();
  const auto bytes = static_cast<std::size_t>(inside.width()) * sizeof(QRgb);
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    std::memcpy(picture_.scanLine(y) + inside.left() * sizeof(QRgb),
                from.constScanLine(y - origin.y()) + (inside.left() - origin.x()) * sizeof(QRgb),
                bytes);
}

}  // namespace auralis
