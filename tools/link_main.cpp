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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kService = "com.morvix.KOVANT";
constexpr const char* kPath = "/KOVANT";
constexpr const char* kInterface = "com.morvix.KOVANT.Link";

int Usage(int status) {
  std::fputs(
      "使い方: kovant-link [--caption TEXT] [--timeout SECONDS]\n"
      "        kovant-link --version | --help\n"
      "  起動中のぴこらんを呼び出し、利用者が「コピー」を押すのを待って、\n"
      "  答えの 6 つのテキストを 1 行ずつ書きます。TEXT は答えのあとで\n"
      "  前面に出すウィンドウのタイトルの一部です（ふつうは呼び出し元自身の\n"
      "  ウィンドウ。そのタイトルのウィンドウがないと答えは返りません）。\n"
      "  SECONDS は待つ秒数（既定: 120）。\n"
      "終了状態: 0 答えあり、1 時間切れ、2 ぴこらんが起動していない・使い方の誤り\n",
      status == 0 ? stdout : stderr);
  return status;
}

// An answer as one line of bounded length: control characters (a line end
// would start a seventh line for the reader) escaped, the text cut at 4 KiB.
std::string Printable(const QString& answer) {
  constexpr int kMaxChars = 4096;
  std::string out;
  const QString text = answer.left(kMaxChars);
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(u));
      out += buf;
    } else if (u == '\\') {
      out += "\\\\";
    } else {
      out += QString(c).toStdString();
    }
  }
  if (answer.size() > kMaxChars) out += "…";
  return out;
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
      // A positive number of seconds within a day; nan and inf are no timeouts.
      if (!end || *end || !(timeoutSeconds > 0) || timeoutSeconds > 86400) return Usage(2);
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      return Usage(0);
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kovant-link %s\n", KOVANT_VERSION);
      return 0;
    } else {
      return Usage(2);
    }
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService)) {
    std::fprintf(stderr, "ぴこらんが起動していません。\n");
    return 2;
  }
  QDBusInterface link(kService, kPath, kInterface, bus);
  // Every call waits no longer than the user allowed.
  link.setTimeout(static_cast<int>(std::min(timeoutSeconds, 86400.0) * 1000));
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
    // The window keeps the request while no window carries the caption
    // (it says so itself): the user can still act on it.
    if (!caption.isEmpty()) {
      std::fprintf(stderr,
                   "タイトルに「%s」を含むウィンドウがないと、ぴこらんは答えを返しません。"
                   "そのウィンドウを開いてから「コピー」を押すか、--caption なしで実行してください。\n",
                   caption.toLocal8Bit().constData());
    }
    return 1;
  }
  for (int i = 0; i < 6; ++i) {
    QDBusReply<QString> text = link.call("Request", QStringLiteral("Addr(%1)").arg(i));
    if (!text.isValid()) {
      std::fprintf(stderr, "%s\n", text.error().message().toLocal8Bit().constData());
      return 2;
    }
    std::printf("%s\n", Printable(text.value()).c_str());
  }
  return 0;
}
