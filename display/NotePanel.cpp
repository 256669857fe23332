#include "display/NotePanel.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "engine/Lesson.h"
#include "engine/Notes.h"

namespace auralis {

using display::Box;
using display::ColumnColours;
using display::NotePanelLayout;
using display::NoteView;
using display::PanelColour;
using display::PanelInputs;

namespace {

QColor qColorOf(PanelColour colour) {
  const display::Rgb rgb = display::rgbOf(colour);
  return {rgb.red, rgb.green, rgb.blue};
}

QRect qRectOf(const Box& box) {
  return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

QPolygon polygonOf(const std::array<display::Point, 3>& points) {
  QPolygon polygon;
  for (const auto& p : points) polygon << QPoint(p.x, p.y);
  return polygon;
}

// A line that, like the rows and columns of the layout, excludes its end point.
void drawVertical(QPainter& painter, int x, int fromRow, int toRow) {
  if (toRow > fromRow) painter.drawLine(x, fromRow, x, toRow - 1);
}

void DrawNoteColumn(QPainter& painter, const NotePanelLayout& layout, int column) {
  const int x0 = layout.columnLeft(column);
  painter.setPen(Qt::black);
  drawVertical(painter, x0, 0, layout.height);
  drawVertical(painter, x0 + layout.columnWidth, 0, layout.height);

  const display::TuningScale scale = display::tuningScaleOf(layout, column);
  const QColor green = qColorOf(PanelColour::Green);
  const int h = layout.stripHeight;
  const int bandWidth = scale.bandRight - scale.bandLeft;
  painter.fillRect(scale.bandLeft, layout.topScaleTop(), bandWidth, h, green);
  painter.fillRect(scale.bandLeft, layout.bottomScaleTop(), bandWidth, h, green);
  for (int x : scale.ticks) {
    drawVertical(painter, x, layout.topScaleTop(), layout.topScaleTop() + h);
    drawVertical(painter, x, layout.bottomScaleTop(), layout.bottomScaleTop() + h);
  }
}

void DrawNoteLabel(QPainter& painter, const NotePanelLayout& layout, const PanelInputs& inputs,
                   int column, PanelColour colour) {
  const QColor shown = qColorOf(display::labelColourOf(inputs, column, colour));
  if (inputs.view == NoteView::Piano) {
    const Box dot = display::dotBoxOf(layout, column);
    painter.setBrush(shown);
    // The pen is still the borders' black; the box excludes its right and bottom edges.
    painter.drawEllipse(dot.left, dot.top, dot.right - dot.left - 1, dot.bottom - dot.top - 1);
    painter.setBrush(Qt::NoBrush);
    return;
  }
  const display::NoteNames names = display::namesOf(inputs.view, column);
  const QString first =
      QString::fromLatin1(names.first.data(), static_cast<qsizetype>(names.first.size()));
  const QString second =
      QString::fromLatin1(names.second.data(), static_cast<qsizetype>(names.second.size()));
  const QFontMetrics metrics = painter.fontMetrics();
  std::optional<int> secondWidth;
  if (!second.isEmpty()) secondWidth = metrics.horizontalAdvance(second);
  const display::LabelSpots spots = display::labelSpotsOf(
      layout, column, metrics.height(), metrics.horizontalAdvance(first), secondWidth);
  painter.setPen(shown);
  // Spots are the top-left corners of the text; QPainter writes on the baseline.
  painter.drawText(spots.first.x, spots.first.y + metrics.ascent(), first);
  if (spots.second) painter.drawText(spots.second->x, spots.second->y + metrics.ascent(), second);
  painter.setPen(Qt::black);
}

void DrawNoteCell(QPainter& painter, const NotePanelLayout& layout, const PanelInputs& inputs,
                  int column, ColumnColours colours) {
  const QRect cell = qRectOf(display::cellBoxOf(layout, column));
  if (inputs.view != NoteView::Piano) {
    painter.fillRect(cell, qColorOf(colours.cell));
    DrawNoteLabel(painter, layout, inputs, column, colours.label);
    return;
  }
  painter.fillRect(cell, isBlackKey(column) ? Qt::black : Qt::white);
  if (const auto dot = display::pianoDotColourOf(colours))
    DrawNoteLabel(painter, layout, inputs, column, *dot);
}

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString columnToolTip(NoteView view, int column, bool keysAnswer) {
  const display::NoteNames names =
      display::namesOf(view == NoteView::Piano ? NoteView::NoteNames : view, column);
  QString tip = latin1(names.first);
  if (!names.second.empty()) tip += QStringLiteral(" / ") + latin1(names.second);
  if (!keysAnswer) return tip + QStringLiteral(" \u2014 sing it");
  const QChar key = QChar::fromLatin1(NoteLetters[static_cast<std::size_t>(column)]);
  tip += QStringLiteral(" \u2014 key ") + key;
  // A sharp is its natural's letter in capitals.
  if (key.isUpper()) tip += QStringLiteral(" (Shift+") + key.toLower() + QLatin1Char(')');
  return tip;
}

NotePanel::NotePanel(const Lesson& lesson, std::function<void(int column)> onColumnClicked,
                     QWidget* parent)
    : QWidget(parent), lesson_(lesson), onColumnClicked_(std::move(onColumnClicked)) {
  setObjectName(QStringLiteral("PaintBox1"));
  // Every paint fills the whole area first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont panelFont(QStringLiteral("Times New Roman"));
  panelFont.setBold(true);
  setFont(panelFont);
  layout_ = display::layoutFor(width(), height());
}

void NotePanel::PaintNotePanel() {
  update();
}

void NotePanel::repaintNow() {
  repaint();
}

void NotePanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);

  layout_ = display::layoutFor(width(), height());
  QFont panelFont = font();
  // A point size below 1 is invalid; such a panel is too small to read anyway.
  panelFont.setPointSize(std::max(1, layout_.fontPointSize()));
  painter.setFont(panelFont);

  const PanelInputs inputs = display::panelInputsOf(lesson_);
  const auto colours = display::columnColoursOf(inputs);
  for (int i = 0; i < 12; ++i) {
    DrawNoteColumn(painter, layout_, i);
    DrawNoteCell(painter, layout_, inputs, i, colours[i]);
  }
  painter.setPen(Qt::black);
  drawVertical(painter, layout_.lastBorder(), 0, layout_.height);
  paintFrames(painter);

  if (display::markerShown(markerPitchClass_, markerOffset_)) {
    const auto triangles = display::markerTrianglesOf(layout_, markerPitchClass_, markerOffset_);
    const QColor red = qColorOf(PanelColour::Red);
    painter.setPen(red);
    painter.setBrush(red);
    painter.drawPolygon(polygonOf(triangles.top));
    painter.drawPolygon(polygonOf(triangles.bottom));
  }
}

void NotePanel::setFramedColumns(const std::array<bool, 12>& framed) {
  if (framed == framed_) return;
  framed_ = framed;
  update();
}

// A frame inside the column's borders: the column's own colours stay readable.
void NotePanel::paintFrames(QPainter& painter) const {
  constexpr int kFrameWidth = 3;
  QPen pen(QColor(0, 128, 0), kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  for (int column = 0; column < 12; ++column) {
    if (!framed_[column]) continue;
    const int left = layout_.columnLeft(column) + kFrameWidth;
    painter.drawRect(left, kFrameWidth / 2 + 1, layout_.columnWidth - 2 * kFrameWidth + 1,
                     layout_.height - kFrameWidth - 2);
  }
}

QString NotePanel::toolTipAt(int x) const {
  const auto column = display::columnAt(display::layoutFor(width(), height()), x);
  if (!column) return {};
  return columnToolTip(display::panelInputsOf(lesson_).view, *column, lesson_.acceptKeyAnswers);
}

bool NotePanel::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const display::NotePanelLayout layout = display::layoutFor(width(), height());
  const auto column = display::columnAt(layout, help->pos().x());
  if (!column) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  // The tip goes when the mouse leaves the column, and the next column shows its own.
  const QRect area(layout.columnLeft(*column), 0, layout.columnWidth, height());
  QToolTip::showText(help->globalPos(), toolTipAt(help->pos().x()), this, area);
  return true;
}

void NotePanel::mousePressEvent(QMouseEvent* event) {
  const auto column = display::columnAt(layout_, event->position().toPoint().x());
  if (column && onColumnClicked_) onColumnClicked_(*column);
}

void NotePanel::DrawTuningMarker(int pitchClass, float offset) {
  if (pitchClass == markerPitchClass_ && offset == markerOffset_) return;
  updateMarkerArea(markerPitchClass_, markerOffset_);
  markerPitchClass_ = pitchClass;
  markerOffset_ = offset;
  updateMarkerArea(pitchClass, offset);
}

void NotePanel::updateMarkerArea(int pitchClass, float offset) {
  if (!display::markerShown(pitchClass, offset)) return;
  const auto triangles = display::markerTrianglesOf(layout_, pitchClass, offset);
  QRegion area;
  // One pixel more on each side covers the outline.
  area += polygonOf(triangles.top).boundingRect().adjusted(-1, -1, 1, 1);
  area += polygonOf(triangles.bottom).boundingRect().adjusted(-1, -1, 1, 1);
  update(area);
}

}  // namespace auralis
