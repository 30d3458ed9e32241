// kovant-link: asks the running program for an address over the session
// bus, the way another application calls its window up, and prints the six
// answer texts (former code, code, prefecture, city, town, supplement).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kService = "com.morvix.KOVANT";
constexpr const char* kPath = "/KOVANT";
constexpr const char* kInterface = "com.morvix.KOVANT.Link";

int Usage() {
  std::fprintf(stderr,
               "usage: kovant-link [--caption TEXT] [--timeout SECONDS]\n"
               "  Calls the running window up, waits until the user presses \"コピー\",\n"
               "  and prints the six answer texts, one per line. TEXT is a part of the\n"
               "  caption of the window to activate afterwards.\n"
               "Exit status: 0 answered, 1 timed out, 2 no running program or bad use.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString caption;
  double timeoutSeconds = 120;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--caption") == 0 && i + 1 < argc) {
      caption = QString::fromLocal8Bit(argv[++i]);
    } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
      char* end = nullptr;
      timeoutSeconds = std::strtod(argv[++i], &end);
      if (!end || *end || timeoutSeconds <= 0) return Usage();
    } else {
      return Usage();
    }
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService)) {
    std::fprintf(stderr, "ぴこらんが起動していません。\n");
    return 2;
  }
  QDBusInterface link(kService, kPath, kInterface, bus);
  QEventLoop loop;
  bool answered = false;
  // Subscribe before calling the window up, so the answer cannot be missed.
  bus.connect(kService, kPath, kInterface, "Answered", &loop, SLOT(quit()));
  QTimer::singleShot(static_cast<int>(timeoutSeconds * 1000), &loop, [&loop] { loop.exit(1); });

  for (auto [item, value] : {std::pair<QString, QString>{"DistName", caption}, {"Cmd", "1"}}) {
    QDBusMessage reply = link.call("Poke", item, value);
    if (reply.type() == QDBusMessage::ErrorMessage) {
      std::fprintf(stderr, "%s\n", reply.errorMessage().toLocal8Bit().constData());
      return 2;
    }
  }
  answered = loop.exec() == 0;
  if (!answered) {
    std::fprintf(stderr, "応答がありませんでした。\n");
    return 1;
  }
  for (int i = 0; i < 6; ++i) {
    QDBusReply<QString> text = link.call("Request", QStringLiteral("Addr(%1)").arg(i));
    if (!text.isValid()) {
      std::fprintf(stderr, "%s\n", text.error().message().toLocal8Bit().constData());
      return 2;
    }
    std::printf("%s\n", text.value().toUtf8().constData());
  }
  return 0;
}
