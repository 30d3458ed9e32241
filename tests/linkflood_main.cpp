// Sends many link calls to the running program as fast as the bus takes
// them, then prints how long they took and how many failed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int total = argc > 1 ? std::atoi(argv[1]) : 10000;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return 2;
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
