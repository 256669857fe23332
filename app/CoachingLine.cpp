#include "app/CoachingLine.h"

#include <QHBoxLayout>
#include <algorithm>
#include <utility>

#include "app/CoachingTexts.h"
#include "app/ScreenFit.h"

namespace auralis {

namespace {

QFont coachingFont(const QFont& base) {
  QFont font = base;
  font.setBold(true);
  font.setPixelSize(15);
  return font;
}

}  // namespace

QColor coachingColour(CoachingTone tone) {
  switch (tone) {
    case CoachingTone::Right:
      return {30, 130, 60};
    case CoachingTone::Wrong:
    case CoachingTone::Sharp:
      return {190, 40, 35};
    case CoachingTone::Flat:
      return {40, 90, 190};
    case CoachingTone::None:
      break;
  }
  return Qt::black;
}

QFrame* buildCoachingLine(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setObjectName(QStringLiteral("coachingLine"));
  line->setFrameShape(QFrame::StyledPanel);
  line->setFixedHeight(kCoachingLineHeight);
  auto* label = new QLabel(line);
  label->setObjectName(QStringLiteral("coachingText"));
  label->setFont(coachingFont(parent->font()));
  label->setAlignment(Qt::AlignCenter);
  label->setTextFormat(Qt::PlainText);
  // A long text is cut rather than widening the window.
  label->setMinimumWidth(1);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(6, 0, 6, 0);
  row->addWidget(label);
  line->hide();
  return line;
}

CoachingRow::CoachingRow(QMainWindow& window, PitchGraphRow& graphRow, PitchGraph& graph,
                         QFrame& line, QMenu& viewMenu, std::function<display::NoteView()> view)
    : window_(window),
      graphRow_(graphRow),
      graph_(graph),
      line_(line),
      label_(line.findChild<QLabel*>(QStringLiteral("coachingText"))),
      view_(std::move(view)) {
  CoachingLine1_ = viewMenu.addAction(QStringLiteral("Coa&ching line"));
  CoachingLine1_->setObjectName(QStringLiteral("CoachingLine1"));
  CoachingLine1_->setCheckable(true);
  CoachingLine1_->setStatusTip(
      QStringLiteral("Show right, wrong and off-tune notes in a line below the notes"));
  connect(CoachingLine1_, &QAction::toggled, this, [this](bool on) { showCoachingLine(on); });
  verdictTimer_.setSingleShot(true);
  verdictTimer_.setInterval(kVerdictMs);
  connect(&verdictTimer_, &QTimer::timeout, this, [this] { verdictOver(); });
}

void CoachingRow::showCoachingLine(bool shown, bool keepHeight) {
  if (line_.isVisibleTo(&window_) != shown) {
    int height = window_.height();
    if (!keepHeight) height += shown ? kCoachingLineHeight : -kCoachingLineHeight;
    line_.setVisible(shown);
    graphRow_.setExtraHeight(shown ? kCoachingLineHeight : 0);
    window_.resize(window_.width(), std::max(window_.minimumHeight(), height));
    if (window_.isVisible()) fitOnScreen(window_, false);
  }
  refresh();
}

void CoachingRow::showVerdict(const Verdict& verdict) {
  verdict_ = verdict;
  verdictTimer_.start();
  refresh();
}

void CoachingRow::offTuneHeld(const OffTuneNote& note) {
  offTune_ = note;
  refresh();
}

void CoachingRow::offTuneOver() {
  offTune_.reset();
  refresh();
}

void CoachingRow::verdictOver() {
  verdict_.reset();
  refresh();
}

void CoachingRow::refresh() {
  const display::NoteView view = view_();
  CoachingMessage message;
  if (verdict_) {
    message = {verdictText(*verdict_, view),
               verdict_->correct ? CoachingTone::Right : CoachingTone::Wrong};
  } else if (offTune_) {
    message = {offTuneText(*offTune_, view),
               offTune_->cents < 0 ? CoachingTone::Flat : CoachingTone::Sharp};
  }
  message_ = message;
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, coachingColour(message.tone));
  label_->setPalette(palette);
  label_->setText(message.text);
  // The graph tells it only while the line does not.
  const bool inGraph = !CoachingLine1_->isChecked();
  graph_.setCaption(inGraph ? message.text : QString(), coachingColour(message.tone));
}

}  // namespace auralis
