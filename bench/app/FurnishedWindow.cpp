// A Qt 6 main window of Auralis's size with the same furniture and nothing behind it: as many
// menus and items, a tool bar of eight pictured buttons, an instruction line in a large serif, a
// panel, a coaching line and a status bar of labels. tools/bench-startup.sh times it beside
// Auralis and the bare window: what is left of Auralis's time above it is the program's own.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

namespace {

// The counts of the real window: 14 menus, 95 items.
constexpr std::array kMenuTitles = {"&File",       "&Lesson",  "&View", "&MIDI",
                                    "M&icrophone", "Hi&story", "&Help"};
constexpr int kSubmenuItems = 4;
constexpr int kMenuItems = 9;
constexpr int kExtraItems = 4;

constexpr std::array kButtonTexts = {"Identify", "Unlock",   "Mimic", "Sing",
                                     "Meditate", "Practice", "Help",  "Statistics"};
constexpr std::array kPanelTexts = {"Level 1", "Mastery 0", "Microphone off", "Score 0 of 0",
                                    "Move the mouse over an item"};

void addMenus(QMenuBar& bar) {
  int item = 0;
  for (const char* title : kMenuTitles) {
    QMenu* menu = bar.addMenu(QString::fromLatin1(title));
    QMenu* inner = menu->addMenu(QStringLiteral("Choices %1").arg(item));
    for (int i = 0; i < kSubmenuItems; ++i) {
      QAction* action = inner->addAction(QStringLiteral("Choice %1").arg(++item));
      action->setCheckable(true);
    }
    for (int i = 0; i < kMenuItems; ++i) {
      QAction* action = menu->addAction(QStringLiteral("Menu item %1").arg(++item));
      action->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+%1").arg(i)));
      action->setStatusTip(QStringLiteral("What menu item %1 does").arg(item));
    }
  }
  for (int i = 0; i < kExtraItems; ++i)
    bar.actions().constLast()->menu()->addAction(QStringLiteral("About %1").arg(i));
}

QWidget* toolBar(QWidget* parent) {
  auto* bar = new QWidget(parent);
  auto* buttons = new QHBoxLayout(bar);
  QImage picture(64, 64, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::darkCyan);
  const QPixmap pixmap = QPixmap::fromImage(picture);
  for (const char* text : kButtonTexts) {
    auto* button = new QToolButton(bar);
    button->setText(QString::fromLatin1(text));
    button->setIcon(pixmap);
    button->setIconSize({32, 32});
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  return bar;
}

QLabel* line(const QString& text, const QString& family, int pixels, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font(family);
  font.setPixelSize(pixels);
  label->setFont(font);
  return label;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Furnished Qt window"));
  window.resize(775, 355);
  addMenus(*window.menuBar());

  auto* central = new QWidget(&window);
  auto* rows = new QVBoxLayout(central);
  rows->addWidget(toolBar(central));
  rows->addWidget(
      line(QStringLiteral("Listen for the note"), QStringLiteral("Serif"), 32, central));
  auto* panel = new QWidget(central);
  panel->setMinimumHeight(120);
  rows->addWidget(panel, 1);
  rows->addWidget(line(QStringLiteral("In tune"), QStringLiteral("Sans"), 15, central));
  rows->addWidget(new QLabel(QStringLiteral("No notice"), central));
  window.setCentralWidget(central);
  for (const char* text : kPanelTexts)
    window.statusBar()->addWidget(new QLabel(QString::fromLatin1(text)));

  window.show();
  return QApplication::exec();
}
