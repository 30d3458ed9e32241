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

#include "tools/link_options.h"

namespace {

using namespace kovant::tools;

constexpr const char* kService = "com.morvix.KOVANT";
constexpr const char* kPath = "/KOVANT";
constexpr const char* kInterface = "com.morvix.KOVANT.Link";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const LinkOptions options = ParseLinkOptions(argc, argv);
  switch (options.action) {
    case LinkAction::Help: std::fputs(LinkUsageText().c_str(), stdout); return 0;
    case LinkAction::Version: std::printf("kovant-link %s\n", KOVANT_VERSION); return 0;
    case LinkAction::Usage: std::fputs((options.error + LinkUsageText()).c_str(), stderr); return 2;
    case LinkAction::Call: break;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService)) {
    std::fprintf(stderr, "ぴこらんが起動していません。\n");
    return 2;
  }
  QDBusInterface link(kService, kPath, kInterface, bus);
  // Every call waits no longer than the user allowed.
  link.setTimeout(static_cast<int>(options.timeoutSeconds * 1000));
  QEventLoop loop;
  // Subscribe before calling the window up, so the answer cannot be missed.
  bus.connect(kService, kPath, kInterface, "Answered", &loop, SLOT(quit()));
  QTimer::singleShot(static_cast<int>(options.timeoutSeconds * 1000), &loop, [&loop] { loop.exit(1); });

  for (const auto& [item, value] : LinkPokes(options)) {
    // The caption as the terminal's locale wrote it.
    QDBusMessage reply = link.call("Poke", QString::fromStdString(item), QString::fromLocal8Bit(value));
    if (reply.type() == QDBusMessage::ErrorMessage) {
      std::fprintf(stderr, "%s\n", reply.errorMessage().toLocal8Bit().constData());
      return 2;
    }
  }
  if (loop.exec() != 0) {
    std::fputs(NoAnswerText(options.caption).c_str(), stderr);
    return 1;
  }
  for (int i = 0; i < kAnswerTexts; ++i) {
    QDBusReply<QString> text = link.call("Request", QString::fromStdString(AnswerItem(i)));
    if (!text.isValid()) {
      std::fprintf(stderr, "%s\n", text.error().message().toLocal8Bit().constData());
      return 2;
    }
    std::printf("%s\n", PrintableAnswer(text.value().toStdString()).c_str());
  }
  return 0;
}
