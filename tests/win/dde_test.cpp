// The link over DDE, driven as other programs drive it: DDEML clients with
// the Unicode and the ANSI entry points, a client that posts the WM_DDE_*
// messages itself (as office macros do), and kovant-link.exe, all against
// the test server in a process of its own.
#include <windows.h>

#include <dde.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/ddeclient.h"
#include "platform/win/ddelink.h"

using kovant::platform::DdeClient;
using kovant::platform::LinkTextToUtf8;
using kovant::platform::Utf8ToLinkText;

namespace {

constexpr DWORD kTimeoutMs = 10000;
// In code page 932 (NEC and IBM extensions, the full-width tilde), so they
// survive CF_TEXT too.
const std::string kJapanese = "髙﨑①～ぴこらん　テスト";

std::wstring ExeDir() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// Runs the thread's messages until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = kTimeoutMs) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

struct Process {
  PROCESS_INFORMATION pi{};
  HANDLE out = nullptr;  // the read end of its standard output, if taken
  ~Process() {
    if (pi.hProcess) {
      TerminateProcess(pi.hProcess, 1);
      WaitForSingleObject(pi.hProcess, kTimeoutMs);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    if (out) CloseHandle(out);
  }
};

bool Start(const std::wstring& commandLine, Process* p, bool capture) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  HANDLE writeEnd = nullptr;
  if (capture) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!CreatePipe(&p->out, &writeEnd, &sa, 0)) return false;
    SetHandleInformation(p->out, HANDLE_FLAG_INHERIT, 0);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  std::wstring line = commandLine;
  const BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, capture, 0, nullptr, nullptr, &si, &p->pi);
  if (writeEnd) CloseHandle(writeEnd);
  return ok != 0;
}

// Starts the test server and waits until it answers.
bool StartServer(Process* server, const std::wstring& options = L"") {
  // It ends with this process, whichever way this one ends.
  const std::wstring parent = L" --parent " + std::to_wstring(GetCurrentProcessId());
  if (!Start(L"\"" + ExeDir() + L"kovant-ddetestserver.exe\" " + options + parent, server, false)) return false;
  const ULONGLONG end = GetTickCount64() + 20000;
  while (GetTickCount64() < end) {
    DdeClient probe;
    if (probe.Connect(kovant::platform::kDdeService, kovant::platform::kDdeTopic).empty()) return true;
    if (WaitForSingleObject(server->pi.hProcess, 100) == WAIT_OBJECT_0) return false;
  }
  return false;
}

// Runs a program to its end; its exit status and what it wrote. This
// thread's messages run meanwhile: a DDE client's initiate is sent to every
// top-level window, ours too, and waits for each to answer. The pipe is
// read while the program runs, not to its end: a process Wine starts for
// the desktop may inherit it and outlive the program.
int RunProgram(const std::wstring& commandLine, std::string* output) {
  Process p;
  if (!Start(commandLine, &p, true)) return -1;
  const auto drain = [&] {
    DWORD available = 0;
    while (PeekNamedPipe(p.out, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      std::string chunk(available, '\0');
      DWORD n = 0;
      if (!ReadFile(p.out, chunk.data(), available, &n, nullptr) || n == 0) break;
      output->append(chunk.data(), n);
    }
  };
  const bool ended = PumpUntil(
      [&] {
        drain();
        return WaitForSingleObject(p.pi.hProcess, 0) == WAIT_OBJECT_0;
      },
      60000);
  drain();
  if (!ended) return -1;
  DWORD status = 0;
  GetExitCodeProcess(p.pi.hProcess, &status);
  return static_cast<int>(status);
}

// A client that speaks the WM_DDE_* messages itself.
class RawClient {
 public:
  struct Message {
    UINT message;
    LPARAM lParam;
  };

  RawClient() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KovantRawDdeClient";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~RawClient() {
    if (server_ && hwnd_) {
      PostMessageW(server_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(hwnd_), 0);
      Take(WM_DDE_TERMINATE, 2000);
    }
    Vanish();
  }
  // Gone without WM_DDE_TERMINATE, as when a program is killed.
  void Vanish() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }

  bool Initiate(const wchar_t* app, const wchar_t* topic) {
    const ATOM a = app ? GlobalAddAtomW(app) : 0;
    const ATOM t = topic ? GlobalAddAtomW(topic) : 0;
    SendMessageW(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(hwnd_), MAKELPARAM(a, t));
    if (a) GlobalDeleteAtom(a);
    if (t) GlobalDeleteAtom(t);
    return server_ != nullptr;
  }
  HWND server() const { return server_; }
  HWND hwnd() const { return hwnd_; }

  bool Post(UINT message, LPARAM lParam) {
    return PostMessageW(server_, message, reinterpret_cast<WPARAM>(hwnd_), lParam) != 0;
  }

  // The next message of this kind from the server.
  std::optional<Message> Take(UINT message, DWORD ms = kTimeoutMs) {
    std::optional<Message> found;
    PumpUntil(
        [&] {
          for (auto it = inbox_.begin(); it != inbox_.end(); ++it) {
            if (it->message == message) {
              found = *it;
              inbox_.erase(it);
              return true;
            }
          }
          return false;
        },
        ms);
    return found;
  }

  // An ack's status; the atom deleted, the lParam freed.
  std::optional<WORD> TakeAck() {
    auto m = Take(WM_DDE_ACK);
    if (!m) return std::nullopt;
    UINT_PTR status = 0, hi = 0;
    UnpackDDElParam(WM_DDE_ACK, m->lParam, &status, &hi);
    FreeDDElParam(WM_DDE_ACK, m->lParam);
    if (hi <= 0xFFFF) GlobalDeleteAtom(static_cast<ATOM>(hi));
    return static_cast<WORD>(status);
  }

  // WM_DDE_REQUEST, answered by WM_DDE_DATA (its text) or a negative ack.
  std::optional<std::string> Request(const char* item, UINT format, bool* response = nullptr) {
    const ATOM atom = GlobalAddAtomA(item);
    if (!Post(WM_DDE_REQUEST, MAKELPARAM(format, atom))) return std::nullopt;
    PumpUntil([&] { return !inbox_.empty(); });
    if (inbox_.empty() || inbox_.front().message != WM_DDE_DATA) {
      TakeAck();
      return std::nullopt;
    }
    return TakeData(response);
  }

  std::optional<std::string> TakeData(bool* response = nullptr, bool* ackReq = nullptr) {
    auto m = Take(WM_DDE_DATA);
    if (!m) return std::nullopt;
    UINT_PTR lo = 0, hi = 0;
    UnpackDDElParam(WM_DDE_DATA, m->lParam, &lo, &hi);
    auto* memory = reinterpret_cast<HGLOBAL>(lo);
    std::optional<std::string> text;
    bool wantsAck = false;
    if (auto* data = memory ? static_cast<DDEDATA*>(GlobalLock(memory)) : nullptr) {
      if (response) *response = data->fResponse != 0;
      wantsAck = data->fAckReq != 0;
      const bool release = data->fRelease != 0;
      text = LinkTextToUtf8(static_cast<UINT>(static_cast<unsigned short>(data->cfFormat)), data->Value,
                            GlobalSize(memory) - offsetof(DDEDATA, Value));
      GlobalUnlock(memory);
      if (release) GlobalFree(memory);
    } else {
      text = std::string("(notice)");
    }
    if (ackReq) *ackReq = wantsAck;
    if (wantsAck) {
      Post(WM_DDE_ACK, ReuseDDElParam(m->lParam, WM_DDE_DATA, WM_DDE_ACK, 0x8000, hi));
    } else {
      FreeDDElParam(WM_DDE_DATA, m->lParam);
      GlobalDeleteAtom(static_cast<ATOM>(hi));
    }
    return text;
  }

  // WM_DDE_POKE; the ack's status. Refused, the memory is ours to free.
  std::optional<WORD> Poke(const char* item, UINT format, const std::vector<char>& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, offsetof(DDEPOKE, Value) + bytes.size());
    auto* poke = static_cast<DDEPOKE*>(GlobalLock(memory));
    std::memset(poke, 0, offsetof(DDEPOKE, Value));
    poke->fRelease = 1;
    poke->cfFormat = static_cast<short>(format);
    std::memcpy(poke->Value, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    const ATOM atom = GlobalAddAtomA(item);
    if (!Post(WM_DDE_POKE, PackDDElParam(WM_DDE_POKE, reinterpret_cast<UINT_PTR>(memory), atom))) {
      ADD_FAILURE() << "WM_DDE_POKE not posted: " << GetLastError();
      return std::nullopt;
    }
    auto status = TakeAck();
    if (!status || !(*status & 0x8000)) GlobalFree(memory);
    return status;
  }

  std::optional<WORD> Advise(const char* item, UINT format, bool deferUpd, bool ackReq) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(DDEADVISE));
    auto* options = static_cast<DDEADVISE*>(GlobalLock(memory));
    std::memset(options, 0, sizeof *options);
    options->fDeferUpd = deferUpd ? 1 : 0;
    options->fAckReq = ackReq ? 1 : 0;
    options->cfFormat = static_cast<short>(format);
    GlobalUnlock(memory);
    const ATOM atom = GlobalAddAtomA(item);
    if (!Post(WM_DDE_ADVISE, PackDDElParam(WM_DDE_ADVISE, reinterpret_cast<UINT_PTR>(memory), atom))) {
      return std::nullopt;
    }
    auto status = TakeAck();
    if (!status || !(*status & 0x8000)) GlobalFree(memory);
    return status;
  }

  std::size_t Pending() const { return inbox_.size(); }
  int Count(UINT message) const {
    return static_cast<int>(
        std::count_if(inbox_.begin(), inbox_.end(), [&](const Message& m) { return m.message == message; }));
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RawClient*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || message < WM_DDE_FIRST || message > WM_DDE_LAST) {
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_DDE_ACK && !self->server_ && InSendMessage()) {
      // The answer to WM_DDE_INITIATE: its atoms are ours to delete.
      self->server_ = reinterpret_cast<HWND>(wParam);
      self->initiateApp_ = LOWORD(lParam);
      GlobalDeleteAtom(LOWORD(lParam));
      GlobalDeleteAtom(HIWORD(lParam));
      return 0;
    }
    if (message == WM_DDE_ACK && InSendMessage()) {
      // A second server for the same names: not wanted.
      GlobalDeleteAtom(LOWORD(lParam));
      GlobalDeleteAtom(HIWORD(lParam));
      PostMessageW(reinterpret_cast<HWND>(wParam), WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(hwnd), 0);
      return 0;
    }
    if (reinterpret_cast<HWND>(wParam) == self->server_) self->inbox_.push_back({message, lParam});
    return 0;
  }

  HWND hwnd_ = nullptr;
  HWND server_ = nullptr;
  ATOM initiateApp_ = 0;
  std::vector<Message> inbox_;
};

std::vector<char> Bytes(UINT format, const std::string& utf8) { return Utf8ToLinkText(format, utf8); }

class DdeLink : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartServer(&server_)) << "the test server did not answer"; }
  Process server_;
};

void Connect(DdeClient& client) {
  ASSERT_EQ(client.Connect(kovant::platform::kDdeService, kovant::platform::kDdeTopic), "");
}

std::string RequestText(DdeClient& client, const std::string& item, UINT format) {
  std::string text;
  const std::string error = client.Request(item, format, kTimeoutMs, &text);
  return error.empty() ? text : "ERROR: " + error;
}

}  // namespace

// Japanese text poked in one format and requested in the other comes back
// exactly, through either set of DDEML's entry points.
TEST_F(DdeLink, DdemlClientsRoundTripJapaneseInBothFormats) {
  for (DdeClient::Api api : {DdeClient::Api::Unicode, DdeClient::Api::Ansi}) {
    SCOPED_TRACE(api == DdeClient::Api::Unicode ? "Unicode" : "ANSI");
    DdeClient client(api);
    Connect(client);
    ASSERT_EQ(client.Poke("DistName", kJapanese, CF_UNICODETEXT, kTimeoutMs), "");
    EXPECT_EQ(RequestText(client, "DistName", CF_TEXT), kJapanese);
    EXPECT_EQ(RequestText(client, "DistName", CF_UNICODETEXT), kJapanese);
    ASSERT_EQ(client.Poke("DistName", "メモ帳" + kJapanese, CF_TEXT, kTimeoutMs), "");
    EXPECT_EQ(RequestText(client, "DistName", CF_UNICODETEXT), "メモ帳" + kJapanese);
    // Outside code page 932 (a surrogate pair): exact in Unicode, "?" in CF_TEXT.
    ASSERT_EQ(client.Poke("DistName", "𠮷野家", CF_UNICODETEXT, kTimeoutMs), "");
    EXPECT_EQ(RequestText(client, "DistName", CF_UNICODETEXT), "𠮷野家");
    const std::string narrowed = RequestText(client, "DistName", CF_TEXT);
    EXPECT_TRUE(narrowed.starts_with("?") && narrowed.ends_with("野家")) << narrowed;
    // The call-up answers with the six items, the caption poked before.
    ASSERT_EQ(client.StartAdvise("Addr(0)", CF_TEXT, kTimeoutMs), "");
    ASSERT_EQ(client.Poke("DistName", "テスト", CF_TEXT, kTimeoutMs), "");
    ASSERT_EQ(client.Poke("Cmd", "1", CF_TEXT, kTimeoutMs), "");
    ASSERT_TRUE(client.WaitAdvise(kTimeoutMs));
    EXPECT_EQ(RequestText(client, "Addr(4)", CF_TEXT), "髙﨑町～一丁目");
    EXPECT_EQ(RequestText(client, "Addr(5)", CF_UNICODETEXT), "①番地　テスト");
    // Item names are matched as DDE matches them, whatever their case.
    EXPECT_EQ(RequestText(client, "ADDR(1)", CF_TEXT), "123-4567");
  }
}

// What the link does not offer is refused with a negative ack, and the
// conversation goes on.
TEST_F(DdeLink, RefusesUnknownItemsFormatsAndNames) {
  DdeClient client;
  Connect(client);
  EXPECT_NE(client.Poke("Addr(0)", "x", CF_TEXT, kTimeoutMs), "");
  EXPECT_NE(client.Poke("Nothing", "x", CF_TEXT, kTimeoutMs), "");
  EXPECT_NE(RequestText(client, "Addr(6)", CF_TEXT).find("ERROR"), std::string::npos);
  EXPECT_NE(RequestText(client, "Addr(0)", CF_BITMAP).find("ERROR"), std::string::npos);
  EXPECT_EQ(client.Poke("DistName", "ok", CF_TEXT, kTimeoutMs), "");
  EXPECT_EQ(RequestText(client, "DistName", CF_TEXT), "ok");
  DdeClient stranger;
  EXPECT_NE(stranger.Connect(L"KOVANT", L"OTHER"), "");
}

// A value over the limit (1 MB into DistName) is refused at once by both
// kinds of client; the item keeps its text and the server serves on.
TEST_F(DdeLink, RefusesAMegabytePoke) {
  DdeClient client;
  Connect(client);
  ASSERT_EQ(client.Poke("DistName", "前の値", CF_TEXT, kTimeoutMs), "");
  const std::string huge(1 << 20, 'A');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(client.Poke("DistName", huge, CF_TEXT, kTimeoutMs), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTimeoutMs / 2));
  EXPECT_EQ(RequestText(client, "DistName", CF_UNICODETEXT), "前の値");

  RawClient raw;
  ASSERT_TRUE(raw.Initiate(L"KOVANT", L"KOVANT"));
  // 1 MB in UTF-16 as well (half as many characters).
  auto status = raw.Poke("DistName", CF_UNICODETEXT, Bytes(CF_UNICODETEXT, huge.substr(0, huge.size() / 2)));
  ASSERT_TRUE(status.has_value());
  EXPECT_FALSE(*status & 0x8000);
  // Exactly the limit is still taken.
  const std::string limit(kovant::platform::kMaxLinkValueBytes, 'B');
  status = raw.Poke("DistName", CF_TEXT, Bytes(CF_TEXT, limit));
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(*status & 0x8000);
  EXPECT_EQ(raw.Request("DistName", CF_TEXT), limit);
}

// The messages as a macro posts them: initiate (names in any case, the topic
// a wildcard), request, poke, a hot advise link with acks, unadvise, an
// execute (refused) and terminate, answered with the server's own.
TEST_F(DdeLink, RawClientSpeaksTheMessages) {
  RawClient raw;
  ASSERT_TRUE(raw.Initiate(L"kovant", nullptr));
  ASSERT_EQ(raw.Poke("DistName", CF_TEXT, Bytes(CF_TEXT, kJapanese)), WORD{0x8000});
  bool response = false;
  EXPECT_EQ(raw.Request("DistName", CF_UNICODETEXT, &response), kJapanese);
  EXPECT_TRUE(response);
  EXPECT_EQ(raw.Request("Addr(9)", CF_TEXT), std::nullopt);
  // Text that is not text of its format: a lead byte alone, a lone surrogate.
  EXPECT_EQ(raw.Poke("DistName", CF_TEXT, {'\x41', '\x81', '\0'}), WORD{0});
  EXPECT_EQ(raw.Poke("DistName", CF_UNICODETEXT, {'\x00', '\xD8', '\0', '\0'}), WORD{0});
  EXPECT_EQ(raw.Request("DistName", CF_TEXT), kJapanese);

  ASSERT_EQ(raw.Advise("Addr(1)", CF_UNICODETEXT, false, true), WORD{0x8000});
  ASSERT_EQ(raw.Advise("Addr(2)", CF_TEXT, true, false), WORD{0x8000});
  ASSERT_EQ(raw.Poke("Cmd", CF_TEXT, Bytes(CF_TEXT, "1")), WORD{0x8000});
  bool ackReq = false;
  EXPECT_EQ(raw.TakeData(&response, &ackReq), "123-4567");  // hot: the text
  EXPECT_FALSE(response);
  EXPECT_TRUE(ackReq);
  EXPECT_EQ(raw.TakeData(), "(notice)");  // warm: the notice alone

  const ATOM atom = GlobalAddAtomA("Addr(1)");
  ASSERT_TRUE(raw.Post(WM_DDE_UNADVISE, MAKELPARAM(0, atom)));
  EXPECT_EQ(raw.TakeAck(), WORD{0x8000});
  HGLOBAL commands = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 8);
  std::memcpy(GlobalLock(commands), "[Quit]", 7);
  GlobalUnlock(commands);
  ASSERT_TRUE(raw.Post(WM_DDE_EXECUTE, reinterpret_cast<LPARAM>(commands)));
  auto ack = raw.Take(WM_DDE_ACK);
  ASSERT_TRUE(ack.has_value());
  UINT_PTR status = 0, handle = 0;
  UnpackDDElParam(WM_DDE_ACK, ack->lParam, &status, &handle);
  FreeDDElParam(WM_DDE_ACK, ack->lParam);
  EXPECT_FALSE(status & 0x8000);
  GlobalFree(commands);

  // Only Addr(2) is still watched.
  ASSERT_EQ(raw.Poke("Cmd", CF_TEXT, Bytes(CF_TEXT, "1")), WORD{0x8000});
  EXPECT_EQ(raw.TakeData(), "(notice)");
  EXPECT_FALSE(raw.Take(WM_DDE_DATA, 300).has_value());

  ASSERT_TRUE(raw.Post(WM_DDE_TERMINATE, 0));
  EXPECT_TRUE(raw.Take(WM_DDE_TERMINATE).has_value());
}

// A client gone without WM_DDE_TERMINATE, with a request and an advise link
// open, leaves the server serving the next clients.
TEST_F(DdeLink, ServesOnAfterAClientVanishes) {
  {
    RawClient gone;
    ASSERT_TRUE(gone.Initiate(L"KOVANT", L"KOVANT"));
    ASSERT_EQ(gone.Advise("Addr(0)", CF_TEXT, false, true), WORD{0x8000});
    gone.Post(WM_DDE_REQUEST, MAKELPARAM(CF_TEXT, GlobalAddAtomA("DistName")));
    gone.Vanish();
  }
  DdeClient client;
  Connect(client);
  ASSERT_EQ(client.StartAdvise("Addr(0)", CF_UNICODETEXT, kTimeoutMs), "");
  ASSERT_EQ(client.Poke("Cmd", "1", CF_UNICODETEXT, kTimeoutMs), "");
  ASSERT_TRUE(client.WaitAdvise(kTimeoutMs));
  EXPECT_EQ(RequestText(client, "Addr(0)", CF_TEXT), "123-45");
  client.Disconnect();

  RawClient next;
  ASSERT_TRUE(next.Initiate(L"KOVANT", L"KOVANT"));
  EXPECT_EQ(next.Request("Addr(2)", CF_TEXT), "東京都");
}

// 2,000 requests from each kind of client, every answer counted.
TEST_F(DdeLink, TwoThousandRequestsAnsweredFromEachClient) {
  constexpr int kRounds = 2000;
  DdeClient client;
  Connect(client);
  ASSERT_EQ(client.Poke("DistName", kJapanese, CF_UNICODETEXT, kTimeoutMs), "");
  int exact = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    exact += RequestText(client, "DistName", i % 2 ? CF_TEXT : CF_UNICODETEXT) == kJapanese;
  }
  const double ddeml = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(exact, kRounds);

  RawClient raw;
  ASSERT_TRUE(raw.Initiate(L"KOVANT", L"KOVANT"));
  exact = 0;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) exact += raw.Request("DistName", i % 2 ? CF_TEXT : CF_UNICODETEXT) == kJapanese;
  const double posted = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(exact, kRounds);
  EXPECT_EQ(raw.Pending(), 0u);  // no stray acks after the data
  std::printf("requests/s: DDEML %.0f, WM_DDE_* %.0f\n", kRounds / ddeml, kRounds / posted);
  RecordProperty("ddeml_requests_per_second", static_cast<int>(kRounds / ddeml));
  RecordProperty("raw_requests_per_second", static_cast<int>(kRounds / posted));
}

// kovant-link.exe calls the window up, waits for the answer and prints the
// six texts in UTF-8, the Japanese caption of its command line included.
TEST_F(DdeLink, KovantLinkPrintsTheAnswer) {
  std::string out;
  EXPECT_EQ(RunProgram(L"\"" + ExeDir() + L"kovant-link.exe\" --caption テスト呼出 --timeout 20", &out), 0) << out;
  EXPECT_EQ(out, "123-45\n123-4567\n東京都\n見本市\n髙﨑町～一丁目\n①番地　テスト呼出\n");
}

// Unanswered, kovant-link.exe gives up at its timeout with status 1; with
// no program running it says so with status 2.
TEST(DdeLinkAlone, KovantLinkTimesOutAndSeesNoServer) {
  const std::wstring link = L"\"" + ExeDir() + L"kovant-link.exe\"";
  std::string out;
  EXPECT_EQ(RunProgram(link + L" --timeout 5", &out), 2);
  EXPECT_NE(out.find("ぴこらんが起動していません。"), std::string::npos) << out;
  Process server;
  ASSERT_TRUE(StartServer(&server, L"--no-answer"));
  out.clear();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram(link + L" --timeout 1", &out), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_NE(out.find("応答がありませんでした。"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(RunProgram(link + L" --timeout 0", &out), 2);
}

// In-process, where the server's own count can be read: a conversation
// whose client vanished goes when the next begins, and one ended with
// WM_DDE_TERMINATE goes at once; data the client must ack is not followed
// by more before the ack.
TEST(DdeLinkServerThread, DropsGoneClientsAndPacesAckedLinks) {
  std::atomic<size_t> conversations{0};
  std::atomic<DWORD> threadId{0};
  std::thread serverThread([&] {
    kovant::platform::DdeLinkServer* self = nullptr;
    kovant::platform::DdeLinkServer server(
        [&](kovant::platform::LinkItem item, const std::string&) {
          if (item == kovant::platform::LinkItem::Cmd) self->Answered();
        },
        [](kovant::platform::LinkItem) { return std::string("値"); });
    self = &server;
    if (!server.Start().empty()) return;
    SetTimer(nullptr, 0, 20, nullptr);  // the count is read between messages
    threadId = GetCurrentThreadId();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      DispatchMessageW(&msg);
      conversations = server.Conversations();
    }
  });
  ASSERT_TRUE(PumpUntil([&] { return threadId != 0; }));
  {
    RawClient gone;
    ASSERT_TRUE(gone.Initiate(L"KOVANT", L"KOVANT"));
    EXPECT_EQ(gone.Request("Addr(3)", CF_UNICODETEXT), "値");
    EXPECT_TRUE(PumpUntil([&] { return conversations == 1; }));
    gone.Vanish();
  }
  RawClient next;
  ASSERT_TRUE(next.Initiate(L"KOVANT", L"KOVANT"));
  EXPECT_EQ(next.Request("Addr(3)", CF_TEXT), "値");
  EXPECT_TRUE(PumpUntil([&] { return conversations == 1; })) << conversations;

  // A hot link with acks: a second change while the first data waits for
  // its ack is sent once the ack came, not before.
  ASSERT_EQ(next.Advise("Addr(1)", CF_UNICODETEXT, false, true), WORD{0x8000});
  ASSERT_EQ(next.Poke("Cmd", CF_TEXT, Bytes(CF_TEXT, "1")), WORD{0x8000});
  ASSERT_EQ(next.Poke("Cmd", CF_TEXT, Bytes(CF_TEXT, "1")), WORD{0x8000});
  ASSERT_EQ(next.Poke("DistName", CF_TEXT, Bytes(CF_TEXT, "x")), WORD{0x8000});  // all before it is here
  EXPECT_EQ(next.Count(WM_DDE_DATA), 1);
  bool ackReq = false;
  EXPECT_EQ(next.TakeData(nullptr, &ackReq), "値");
  EXPECT_TRUE(ackReq);
  EXPECT_EQ(next.TakeData(), "値");
  ASSERT_TRUE(next.Post(WM_DDE_TERMINATE, 0));
  EXPECT_TRUE(next.Take(WM_DDE_TERMINATE).has_value());
  EXPECT_TRUE(PumpUntil([&] { return conversations == 0; })) << conversations;
  PostThreadMessageW(threadId, WM_QUIT, 0, 0);
  serverThread.join();
}
