#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "history/HistoryStore.h"

// Records answers into a history file for the fault tests, as a lesson would.
//   history_writer forever FILE      one answer at a time, "written N" once each is in the file,
//                                    until killed
//   history_writer count FILE N [--as-nobody] [--file-limit BYTES]
//                                    N answers, then every notice as "notice: TEXT" and "done"
namespace {

auralis::AnswerRecord answerNumber(long n) {
  auralis::AnswerRecord a;
  a.atMs = QDateTime::currentMSecsSinceEpoch();
  a.questionNotes = {60 + static_cast<int>(n % 12), 64};
  a.questionNoteCount = 2;
  a.letter = 'c';
  a.correct = n % 2 == 0;
  a.responseMs = static_cast<int>(n % 5000);
  return a;
}

// Root may write anywhere; the read-only cases run as the unprivileged user.
void becomeNobody() {
  if (geteuid() != 0) return;
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
    std::puts("cannot become nobody");
    std::exit(3);
  }
}

// Writing past the limit then fails with EFBIG, as a full disk fails a write.
void limitFileSize(long bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc < 3) return 2;
  const QString file = QString::fromLocal8Bit(argv[2]);
  if (std::strcmp(argv[1], "forever") == 0) {
    auralis::HistoryStore store(file);
    for (long n = 1;; ++n) {
      store.recordAnswer(answerNumber(n));
      store.flush();
      std::printf("written %ld\n", n);
      std::fflush(stdout);
    }
  }
  if (argc < 4) return 2;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--as-nobody") == 0) becomeNobody();
    if (std::strcmp(argv[i], "--file-limit") == 0 && i + 1 < argc)
      limitFileSize(std::atol(argv[++i]));
  }
  auralis::HistoryStore store(file);
  QObject::connect(&store, &auralis::HistoryStore::notice, [](const QString& text) {
    std::printf("notice: %s\n", text.toLocal8Bit().constData());
  });
  const long count = std::atol(argv[3]);
  for (long n = 1; n <= count; ++n) store.recordAnswer(answerNumber(n));
  store.flush();
  QCoreApplication::sendPostedEvents();
  std::printf("done\n");
  return 0;
}
