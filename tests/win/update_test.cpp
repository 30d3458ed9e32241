// "辞書を更新" in kovant.exe's settings window, against an HTTP server of
// the test's own (the mirror named by KOVANT_DATA_URL): the hand-written
// sample packed as Japan Post packs its files, an error page, and a slow
// transfer closed with Escape while it runs.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/win/kovantfixture.h"
#include "winui/settingswindow.h"
#include "winui/updatewindow.h"

namespace {

using namespace kovant::winui;
using namespace kovant::wintest;

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A zip holding one file, stored, dated today: as Japan Post packs its
// files, and as new as data can plausibly be.
std::string ZipOf(const std::string& name, const std::string& bytes) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const uint32_t dosDate = static_cast<uint32_t>(((now.wYear - 1980) << 9) | (now.wMonth << 5) | now.wDay);
  const uint32_t dosTime = static_cast<uint32_t>((now.wHour << 11) | (now.wMinute << 5) | (now.wSecond / 2));
  const uint32_t crc = Crc32(bytes), size = static_cast<uint32_t>(bytes.size());
  const auto n = static_cast<uint32_t>(name.size());
  std::string zip;
  Put(zip, 0x04034b50, 4);
  Put(zip, 10, 2), Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, dosTime, 2), Put(zip, dosDate, 2);
  Put(zip, crc, 4), Put(zip, size, 4), Put(zip, size, 4), Put(zip, n, 2), Put(zip, 0, 2);
  zip += name + bytes;
  const auto central = static_cast<uint32_t>(zip.size());
  Put(zip, 0x02014b50, 4);
  Put(zip, 20, 2), Put(zip, 10, 2), Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, dosTime, 2), Put(zip, dosDate, 2);
  Put(zip, crc, 4), Put(zip, size, 4), Put(zip, size, 4), Put(zip, n, 2), Put(zip, 0, 2), Put(zip, 0, 2);
  Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, 0, 4), Put(zip, 0, 4);
  zip += name;
  const auto centralSize = static_cast<uint32_t>(zip.size()) - central;
  Put(zip, 0x06054b50, 4);
  Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, 1, 2), Put(zip, 1, 2), Put(zip, centralSize, 4), Put(zip, central, 4);
  Put(zip, 0, 2);
  return zip;
}

struct Answer {
  std::string head;  // status line and headers
  std::string body;
  size_t perSecond = 0;  // the body this many bytes a second; 0: at once
};

// Serves fixed answers by path on the loopback address, one connection at
// a time; which set of answers is switched while it runs.
class HttpServer {
 public:
  explicit HttpServer(std::map<std::string, Answer> routes) : routes_(std::move(routes)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(listen_, 16);
    thread_ = std::thread([this] { Run(); });
  }
  ~HttpServer() {
    stop_ = true;
    thread_.join();
    closesocket(listen_);
    WSACleanup();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Paths are answered from the routes under this folder.
  void Serve(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
  }

 private:
  void Run() {
    while (!stop_) {
      WSAPOLLFD p{listen_, POLLRDNORM, 0};
      if (WSAPoll(&p, 1, 50) <= 0) continue;
      SOCKET s = accept(listen_, nullptr, nullptr);
      if (s == INVALID_SOCKET) continue;
      std::string request;
      char buf[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      const size_t a = request.find(' ') + 1, b = request.find(' ', a);
      Answer answer{"HTTP/1.1 404 Not Found", "<html>not here</html>"};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = routes_.find("/" + folder_ + request.substr(a, b - a));
        if (it != routes_.end()) answer = it->second;
      }
      Send(s,
           answer.head + "\r\nConnection: close\r\nContent-Length: " + std::to_string(answer.body.size()) + "\r\n\r\n",
           0);
      Send(s, answer.body, answer.perSecond);
      closesocket(s);
    }
  }
  void Send(SOCKET s, const std::string& all, size_t perSecond) {
    const size_t piece = perSecond ? std::max<size_t>(1, perSecond / 10) : all.size();
    for (size_t done = 0; done < all.size() && !stop_;) {
      const int n = send(s, all.data() + done, static_cast<int>(std::min(piece, all.size() - done)), 0);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      if (perSecond) std::this_thread::sleep_for(std::chrono::milliseconds(1000 * piece / perSecond));
    }
  }

  std::map<std::string, Answer> routes_;
  std::mutex mutex_;
  std::string folder_;
  SOCKET listen_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Update : Kovant {
  std::unique_ptr<HttpServer> server;
  HWND settings = nullptr;

  void SetUp() override {
    const fs::path data = KOVANT_TEST_DATA_DIR;
    const std::string zip = "HTTP/1.1 200 OK\r\nContent-Type: application/zip";
    server = std::make_unique<HttpServer>(std::map<std::string, Answer>{
        {"/good/ken_all.zip", {zip, ZipOf("KEN_ALL.CSV", FileBytes(data / "sample_towns.csv"))}},
        {"/good/jigyosyo.zip", {zip, ZipOf("JIGYOSYO.CSV", FileBytes(data / "sample_offices.csv"))}},
        {"/html/ken_all.zip", {"HTTP/1.1 200 OK\r\nContent-Type: text/html", "<html>メンテナンス中</html>"}},
        // Ten seconds of transfer at this pace: time to close the window midway.
        {"/slow/ken_all.zip", {zip, std::string(200000, 'x'), 20000}},
    });
    // The program reads its mirror when it starts.
    SetEnvironmentVariableW(L"KOVANT_DATA_URL", Wide(server->Url()).c_str());
    Kovant::SetUp();
    SetEnvironmentVariableW(L"KOVANT_DATA_URL", nullptr);
  }
  void TearDown() override {
    Kovant::TearDown();
    server.reset();
  }

  HWND Shown(const wchar_t* cls) const {
    HWND found = FindWindowW(cls, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(found, &owner);
    return found && owner == pi.dwProcessId && IsWindowVisible(found) ? found : nullptr;
  }
  // The update window opened as a user opens it: "設定", then "辞書を更新".
  HWND OpenUpdate(const std::string& folder) {
    server->Serve(folder);
    if (!Shown(L"KOVANT2")) {
      Click(kCommand5);
      if (!WaitFor([&] { return (settings = Shown(L"KOVANT2")) != nullptr; })) return nullptr;
    }
    PostMessageW(GetDlgItem(settings, SettingsWindow::kUpdate), BM_CLICK, 0, 0);
    HWND update = nullptr;
    WaitFor([&] { return (update = Shown(L"KOVANTUPDATE")) != nullptr; });
    return update;
  }
  static std::string Of(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
  static int Progress(HWND update) {
    return static_cast<int>(SendMessageW(GetDlgItem(update, UpdateWindow::kProgress), PBM_GETPOS, 0, 0));
  }
  // The update over: its one button says "閉じる".
  bool Finished(HWND update) {
    return WaitFor([&] { return Of(update, UpdateWindow::kCommand) == "閉じる"; }, 60000);
  }
  void Close(HWND update) {
    PostMessageW(GetDlgItem(update, UpdateWindow::kCommand), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Shown(L"KOVANTUPDATE") == nullptr; }));
  }
  // The step's text fits its box: drawn as the box draws it, in the
  // window's font, it needs no more height than the box has.
  static void ExpectStepShownWhole(HWND update) {
    HWND step = GetDlgItem(update, UpdateWindow::kStep);
    RECT box{};
    GetClientRect(step, &box);
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(98, static_cast<int>(GetDpiForWindow(update)), 720);
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(lf.lfFaceName, L"ＭＳ ゴシック", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring text = Wide(TextOf(step));
    RECT need{0, 0, box.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    EXPECT_LE(need.bottom, box.bottom) << "the step is cut: " << TextOf(step);
    RECT client{}, placed{};
    GetClientRect(update, &client);
    GetWindowRect(step, &placed);
    MapWindowPoints(nullptr, update, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_LE(placed.bottom, client.bottom) << "the step lies outside the window";
  }
};

// New data installed and said so, and the main window takes it; the same
// data again is "最新です。"; an error page is a failure shown whole; and
// Escape while the download runs stops it and closes the window once it
// has stopped, as does the close box. The dictionary in use is untouched
// by the last three.
TEST_F(Update, InstallsThenUpToDateThenFailureAndEscape) {
  const fs::path dictionary = home / "KOVANT.DIC";
  const std::string sample = FileBytes(dictionary);

  HWND update = OpenUpdate("good");
  ASSERT_NE(update, nullptr) << "no update window";
  EXPECT_EQ(TextOf(update), "辞書の更新");
  EXPECT_EQ(Of(update, UpdateWindow::kBefore).rfind("使用中の辞書データ：", 0), 0u)
      << Of(update, UpdateWindow::kBefore);
  EXPECT_FALSE(IsWindowEnabled(settings)) << "the update window is not modal";
  ASSERT_TRUE(Finished(update)) << Of(update, UpdateWindow::kStep);
  EXPECT_EQ(Of(update, UpdateWindow::kStep), "辞書を更新しました。");
  const std::string changes = Of(update, UpdateWindow::kChanges);
  EXPECT_NE(changes.find("データの日付: "), std::string::npos) << changes;
  EXPECT_NE(changes.find(" 件追加、"), std::string::npos) << changes;
  EXPECT_NE(changes.find(" 件削除（町域 "), std::string::npos) << changes;
  EXPECT_EQ(Progress(update), 1000);
  EXPECT_NE(FileBytes(dictionary), sample) << "nothing installed";
  // The main window says so at once.
  EXPECT_NE(Text(kLabel1_0).find("（辞書が更新されました）"), std::string::npos) << Text(kLabel1_0);
  Close(update);
  const std::string installed = FileBytes(dictionary);

  update = OpenUpdate("good");
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(Finished(update)) << Of(update, UpdateWindow::kStep);
  EXPECT_EQ(Of(update, UpdateWindow::kStep), "最新です。");
  EXPECT_NE(Of(update, UpdateWindow::kChanges).find("（変わりません）"), std::string::npos)
      << Of(update, UpdateWindow::kChanges);
  Close(update);

  update = OpenUpdate("html");
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(Finished(update));
  const std::string step = Of(update, UpdateWindow::kStep);
  EXPECT_NE(step.find("zip ファイルではありません"), std::string::npos) << step;
  EXPECT_NE(step.find("使用中の辞書はそのままです。"), std::string::npos) << step;
  EXPECT_EQ(Progress(update), 0);
  ExpectStepShownWhole(update);
  Close(update);

  // Escape while the transfer runs: the window stays until the update has
  // stopped, then closes, long before the transfer would have ended.
  update = OpenUpdate("slow");
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Progress(update) > 0; })) << Of(update, UpdateWindow::kStep);
  EXPECT_EQ(Of(update, UpdateWindow::kCommand), "中止");
  const ULONGLONG began = GetTickCount64();
  PostMessageW(GetDlgItem(update, UpdateWindow::kCommand), WM_KEYDOWN, VK_ESCAPE, 1);
  PostMessageW(GetDlgItem(update, UpdateWindow::kCommand), WM_KEYUP, VK_ESCAPE, 0xC0000001);
  ASSERT_TRUE(WaitFor([&] { return Shown(L"KOVANTUPDATE") == nullptr; })) << Of(update, UpdateWindow::kStep);
  const ULONGLONG closed = GetTickCount64() - began;
  EXPECT_LT(closed, 8000u) << "the transfer ran on";
  EXPECT_EQ(FileBytes(dictionary), installed);
  // The same with the close box.
  update = OpenUpdate("slow");
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Progress(update) > 0; })) << Of(update, UpdateWindow::kStep);
  PostMessageW(update, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return Shown(L"KOVANTUPDATE") == nullptr; })) << Of(update, UpdateWindow::kStep);
  EXPECT_EQ(FileBytes(dictionary), installed);

  // The settings window closed: the main window walks on the data in use.
  PostMessageW(settings, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return Shown(L"KOVANT2") == nullptr && IsWindowEnabled(window); }));
  const int tokyo = Find(kList2, "東京都");
  ASSERT_GE(tokyo, 0);
  ClickItem(kList2, tokyo);
  EXPECT_TRUE(WaitFor([&] { return Find(kList3, "千代田区") >= 0; }));
  std::printf("closed %llu ms after Escape\n", closed);
}

}  // namespace
