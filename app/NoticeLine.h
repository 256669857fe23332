#pragma once

#include <QFrame>
#include <QLabel>
#include <QStringList>
#include <QToolButton>

namespace auralis {

// A strip between the note panel and the status bar that tells of a fault the user should know
// of: a setting or an answer not kept, a damaged file set aside. It is there only while it holds
// a notice and stays until the user dismisses it, so it hides none of the status panels. Each
// notice is shown whole: it wraps, a file name too long for the line is shortened in its middle,
// and the whole text is in the tool tip and on the line's Copy item.
class NoticeLine : public QFrame {
 public:
  explicit NoticeLine(QWidget* parent);

  // Shows the text below those shown already; a text that is there already is not repeated.
  void addNotice(const QString& text);
  void dismiss();
  const QStringList& notices() const { return notices_; }
  QString wholeText() const { return notices_.join(QLatin1Char('\n')); }
  QLabel* textLabel() const { return text_; }
  QLabel* iconLabel() const { return icon_; }
  QToolButton* dismissButton() const { return dismiss_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showNotices();
  // The style's icons are looked up in the desktop's icon theme, which takes longer than the
  // rest of the window; the line is hidden until its first notice, so they wait for that.
  void loadIcons();

  QStringList notices_;
  QLabel* icon_ = nullptr;
  QLabel* text_ = nullptr;
  QToolButton* dismiss_ = nullptr;
};

// The text with every word wider than `width` shortened in its middle to fit.
QString withLongWordsElided(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace auralis
