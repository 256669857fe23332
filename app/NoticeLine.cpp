#include "app/NoticeLine.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QStyle>
#include <algorithm>

namespace auralis {

namespace {

constexpr int kIconSize = 16;

}  // namespace

QString withLongWordsElided(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList words = text.split(QLatin1Char(' '));
  for (QString& word : words)
    if (metrics.horizontalAdvance(word) > width)
      word = metrics.elidedText(word, Qt::ElideMiddle, width);
  return words.join(QLatin1Char(' '));
}

NoticeLine::NoticeLine(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("noticeLine"));
  setFrameShape(QFrame::StyledPanel);
  // The colours of a tool tip read well in light and dark desktop themes alike.
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);

  icon_ = new QLabel(this);
  icon_->setFixedSize(kIconSize, kIconSize);
  icon_->setAlignment(Qt::AlignTop);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("noticeText"));
  text_->setForegroundRole(QPalette::ToolTipText);
  text_->setWordWrap(true);
  text_->setTextFormat(Qt::PlainText);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // Wraps rather than widening the window.
  text_->setMinimumWidth(1);
  text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* copy = new QAction(QStringLiteral("&Copy"), text_);
  connect(copy, &QAction::triggered, this,
          [this] { QApplication::clipboard()->setText(wholeText()); });
  text_->addAction(copy);
  text_->setContextMenuPolicy(Qt::ActionsContextMenu);

  dismiss_ = new QToolButton(this);
  dismiss_->setObjectName(QStringLiteral("dismissNotice"));
  dismiss_->setAutoRaise(true);
  dismiss_->setToolTip(QStringLiteral("Dismiss"));
  connect(dismiss_, &QToolButton::clicked, this, [this] { dismiss(); });

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 3, 3, 3);
  row->addWidget(icon_, 0, Qt::AlignTop);
  row->addWidget(text_, 1);
  row->addWidget(dismiss_, 0, Qt::AlignTop);
  hide();
}

void NoticeLine::addNotice(const QString& text) {
  if (text.isEmpty() || notices_.contains(text)) return;
  notices_.append(text);
  loadIcons();
  showNotices();
  show();
}

void NoticeLine::loadIcons() {
  if (!dismiss_->icon().isNull()) return;
  icon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconSize));
  dismiss_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
}

void NoticeLine::dismiss() {
  notices_.clear();
  hide();
}

void NoticeLine::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  showNotices();
}

void NoticeLine::showNotices() {
  // The label's width once laid out; before that, the line's own less its icon and button.
  const int room = text_->width() > 1 ? text_->width() : width() - 3 * kIconSize - 24;
  const QFontMetrics metrics = text_->fontMetrics();
  QStringList shown;
  for (const QString& notice : notices_)
    shown << withLongWordsElided(notice, metrics, std::max(room, 8 * kIconSize));
  text_->setText(shown.join(QLatin1Char('\n')));
  text_->setToolTip(wholeText());
}

}  // namespace auralis
