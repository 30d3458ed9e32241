// Sends many link calls to the running program as fast as the bus takes
// them, then prints how long they took and how many failed. With "--huge N"
// it sends one Poke of N MiB instead and then checks that the link still
// answers a Request. With "--serve" it stands in for the program instead:
// it owns the link's name and answers every call with hostile texts (line
// ends, escapes, 10,000 characters), so that its callers can be tried.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>

#include "platform/link.h"

#include <QTimer>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int total = argc > 1 ? std::atoi(argv[1]) : 10000;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return 2;
  if (argc > 1 && std::string(argv[1]) == "--serve") {
    kovant::platform::LinkServer* server = nullptr;
    server = new kovant::platform::LinkServer(
        [&server](kovant::platform::LinkItem item, const QString&) {
          if (item == kovant::platform::LinkItem::Cmd)
            QTimer::singleShot(0, server, &kovant::platform::LinkServer::Answered);
        },
        [](kovant::platform::LinkItem item) -> QString {
          switch (kovant::platform::AddrIndex(item)) {
            case 0: return QStringLiteral("100");
            case 1: return QStringLiteral("line\nbreak\r\x1b[31m");
            case 2: return QStringLiteral("back\\slash\ttab");
            case 3: return QString(10000, u'長');
            default: return QString();
          }
        },
        &app);
    if (!server->Register()) return 2;
    std::printf("serving\n");
    std::fflush(stdout);
    return app.exec();
  }
  if (argc > 2 && std::string(argv[1]) == "--huge") {
    QDBusMessage m = QDBusMessage::createMethodCall("com.morvix.KOVANT", "/KOVANT", "com.morvix.KOVANT.Link", "Poke");
    m << QStringLiteral("DistName") << QString(std::atoi(argv[2]) * 1024 * 1024, u'x');
    const QDBusMessage refused = bus.call(m, QDBus::Block, 60000);
    std::printf("poke: %s\n", qPrintable(refused.errorName()));
    QDBusMessage r =
        QDBusMessage::createMethodCall("com.morvix.KOVANT", "/KOVANT", "com.morvix.KOVANT.Link", "Request");
    r << QStringLiteral("DistName");
    const QDBusMessage answer = bus.call(r, QDBus::Block, 10000);
    std::printf("request: %s\n",
                answer.type() == QDBusMessage::ReplyMessage ? "answered" : qPrintable(answer.errorName()));
    return answer.type() == QDBusMessage::ReplyMessage ? 0 : 1;
  }
  int done = 0, failed = 0;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < total; ++i) {
    QDBusMessage m = QDBusMessage::createMethodCall("com.morvix.KOVANT", "/KOVANT", "com.morvix.KOVANT.Link",
                                                    i % 2 ? "Request" : "Poke");
    switch (i % 10) {
      case 0: m << QStringLiteral("DistName") << QStringLiteral("呼び出し元%1").arg(i); break;
      case 2: m << QStringLiteral("Cmd") << (i % 100 == 2 ? QStringLiteral("go") : QStringLiteral("  ")); break;
      case 4: m << QStringLiteral("Bogus") << QStringLiteral("x"); break;
      case 6: m << QStringLiteral("DistName") << QString(5000, u'x'); break;
      case 8: m << QStringLiteral("DistName") << QString(); break;
      default: m << QStringLiteral("Addr(%1)").arg(i % 6); break;
    }
    auto* w = new QDBusPendingCallWatcher(bus.asyncCall(m, 20000), &app);
    QObject::connect(w, &QDBusPendingCallWatcher::finished, [&, w, i] {
      // The bogus item and the oversized value are meant to be refused.
      const bool refusedOnPurpose = i % 10 == 4 || i % 10 == 6;
      if (w->isError() != refusedOnPurpose) ++failed;
      w->deleteLater();
      if (++done == total) app.quit();
    });
  }
  app.exec();
  std::printf("%d calls in %lld ms, %d unexpected\n", total, static_cast<long long>(timer.elapsed()), failed);
  return failed == 0 ? 0 : 1;
}
