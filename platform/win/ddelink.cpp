#include "platform/win/ddelink.h"

#include <dde.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <cwchar>

namespace kovant::platform {

namespace {

constexpr const wchar_t* kListenerClass = L"KovantDdeListener";
constexpr const wchar_t* kConversationClass = L"KovantDdeConversation";
constexpr UINT kCodePage = 932;
constexpr WORD kAckPositive = 0x8000;  // DDEACK.fAck

constexpr std::array<const char*, 8> kItemNames = {"Cmd",     "DistName", "Addr(0)", "Addr(1)",
                                                   "Addr(2)", "Addr(3)",  "Addr(4)", "Addr(5)"};

std::wstring Widen(const std::string& utf8, UINT codePage, DWORD flags) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(codePage, flags, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// Empty with ok false when the text is not valid in the code page.
std::string Narrow(const std::wstring& text, UINT codePage, bool* ok) {
  *ok = true;
  if (text.empty()) return {};
  // CP_UTF8 refuses lone surrogates; 932 has no such flag and takes "?" for
  // what it lacks, without best-fit look-alikes.
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int n =
      WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    *ok = false;
    return {};
  }
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

template <typename T>
T* GetServer(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* server = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(server));
    return server;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool RegisterOnce(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool AtomIs(ATOM atom, const wchar_t* name) {
  wchar_t buf[256];
  const UINT n = GlobalGetAtomNameW(atom, buf, 256);
  return n > 0 && _wcsicmp(buf, name) == 0;
}

// WM_DDE_ACK's lParam for a message that carried no packed lParam.
LPARAM PackAck(bool positive, UINT_PTR hi) { return PackDDElParam(WM_DDE_ACK, positive ? kAckPositive : 0, hi); }

}  // namespace

std::wstring LinkItemName(LinkItem item) {
  const int i = static_cast<int>(item) - static_cast<int>(LinkItem::Cmd);
  if (item == LinkItem::Unknown || i < 0 || i >= static_cast<int>(kItemNames.size())) return {};
  return Widen(kItemNames[static_cast<size_t>(i)], CP_UTF8, 0);
}

LinkItem LinkItemOfAtom(ATOM atom) {
  char buf[256];
  const UINT n = GlobalGetAtomNameA(atom, buf, sizeof buf);
  if (n == 0) return LinkItem::Unknown;
  for (const char* name : kItemNames) {
    if (_stricmp(buf, name) == 0) return ParseLinkItem(name);
  }
  return LinkItem::Unknown;
}

std::optional<std::string> LinkTextToUtf8(UINT format, const void* bytes, size_t size) {
  // Every unit of either format is at least one byte of UTF-8, so a longer
  // text is refused before it is converted.
  if (format == CF_UNICODETEXT) {
    const auto* units = static_cast<const wchar_t*>(bytes);
    const size_t n = wcsnlen(units, size / sizeof(wchar_t));
    if (n > kMaxLinkValueBytes) return std::nullopt;
    bool ok = false;
    std::string out = Narrow(std::wstring(units, n), CP_UTF8, &ok);
    if (!ok || out.size() > kMaxLinkValueBytes) return std::nullopt;
    return out;
  }
  if (format == CF_TEXT) {
    const auto* chars = static_cast<const char*>(bytes);
    const size_t n = strnlen(chars, size);
    if (n > kMaxLinkValueBytes) return std::nullopt;
    if (n == 0) return std::string();
    const std::wstring wide = Widen(std::string(chars, n), kCodePage, MB_ERR_INVALID_CHARS);
    bool ok = false;
    std::string out = Narrow(wide, CP_UTF8, &ok);
    if (wide.empty() || !ok || out.size() > kMaxLinkValueBytes) return std::nullopt;
    return out;
  }
  return std::nullopt;
}

std::vector<char> Utf8ToLinkText(UINT format, const std::string& utf8) {
  const std::wstring wide = Widen(utf8, CP_UTF8, 0);
  std::vector<char> out;
  if (format == CF_UNICODETEXT) {
    out.resize((wide.size() + 1) * sizeof(wchar_t), '\0');
    std::memcpy(out.data(), wide.data(), wide.size() * sizeof(wchar_t));
    return out;
  }
  bool ok = false;
  const std::string sjis = Narrow(wide, kCodePage, &ok);
  out.assign(sjis.begin(), sjis.end());
  out.push_back('\0');
  return out;
}

namespace {

// A WM_DDE_DATA object: the header, then the text.
HGLOBAL MakeData(UINT format, const std::string& utf8, bool response, bool ackReq) {
  const std::vector<char> text = Utf8ToLinkText(format, utf8);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, offsetof(DDEDATA, Value) + text.size());
  if (!h) return nullptr;
  auto* data = static_cast<DDEDATA*>(GlobalLock(h));
  if (!data) {
    GlobalFree(h);
    return nullptr;
  }
  std::memset(data, 0, offsetof(DDEDATA, Value));
  data->fResponse = response ? 1 : 0;
  data->fRelease = 1;  // the client frees it
  data->fAckReq = ackReq ? 1 : 0;
  data->cfFormat = static_cast<short>(format);
  std::memcpy(data->Value, text.data(), text.size());
  GlobalUnlock(h);
  return h;
}

}  // namespace

DdeLinkServer::DdeLinkServer(PokeFn poke, RequestFn request) : poke_(std::move(poke)), request_(std::move(request)) {}

DdeLinkServer::~DdeLinkServer() {
  for (auto& [self, c] : conversations_) {
    PostMessageW(c.client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(self), 0);
    SetWindowLongPtrW(self, GWLP_USERDATA, 0);
    DestroyWindow(self);
  }
  conversations_.clear();
  if (listener_) {
    SetWindowLongPtrW(listener_, GWLP_USERDATA, 0);
    DestroyWindow(listener_);
  }
}

std::string DdeLinkServer::Start() {
  if (listener_) return {};
  if (!RegisterOnce(kListenerClass, ListenerProc) || !RegisterOnce(kConversationClass, ConversationProc)) {
    return "DDE のウィンドウクラスを登録できません。";
  }
  // A top-level window, hidden: WM_DDE_INITIATE is broadcast to those only.
  listener_ = CreateWindowExW(0, kListenerClass, L"KOVANT DDE", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
  if (!listener_) return "DDE のウィンドウを作れません。";
  return {};
}

LRESULT CALLBACK DdeLinkServer::ListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* server = GetServer<DdeLinkServer>(hwnd, message, lParam);
  if (message == WM_DDE_INITIATE && server) {
    server->OnInitiate(reinterpret_cast<HWND>(wParam), lParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK DdeLinkServer::ConversationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* server = GetServer<DdeLinkServer>(hwnd, message, lParam);
  if (server && message > WM_DDE_INITIATE && message <= WM_DDE_LAST) {
    server->OnMessage(hwnd, message, wParam, lParam);
    server->DropDead();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void DdeLinkServer::OnInitiate(HWND client, LPARAM lParam) {
  const auto app = static_cast<ATOM>(LOWORD(lParam));
  const auto topic = static_cast<ATOM>(HIWORD(lParam));
  // Zero is the wildcard: any service, any topic.
  if ((app && !AtomIs(app, kDdeService)) || (topic && !AtomIs(topic, kDdeTopic)) || !IsWindow(client)) return;
  // A client that vanished without WM_DDE_TERMINATE leaves its conversation
  // behind; it goes when the next one begins.
  for (auto& [self, c] : conversations_) {
    if (!IsWindow(c.client)) dead_.push_back(self);
  }
  DropDead();
  HWND self = CreateWindowExW(0, kConversationClass, L"KOVANT DDE", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
  if (!self) return;
  conversations_[self].client = client;
  // Atoms of the answer are new; the client deletes them.
  const ATOM ourApp = GlobalAddAtomW(kDdeService);
  const ATOM ourTopic = GlobalAddAtomW(kDdeTopic);
  SendMessageW(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self), MAKELPARAM(ourApp, ourTopic));
}

void DdeLinkServer::OnMessage(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = conversations_.find(self);
  if (it == conversations_.end() || reinterpret_cast<HWND>(wParam) != it->second.client) {
    // Not our partner: nothing of it is ours to keep.
    if (message != WM_DDE_TERMINATE && message != WM_DDE_REQUEST && message != WM_DDE_UNADVISE &&
        message != WM_DDE_EXECUTE) {
      FreeDDElParam(message, lParam);
    }
    return;
  }
  Conversation& c = it->second;
  if (c.terminating && message != WM_DDE_TERMINATE) return;
  switch (message) {
    case WM_DDE_REQUEST: OnRequest(self, c, lParam); break;
    case WM_DDE_POKE: OnPoke(self, c, lParam); break;
    case WM_DDE_ADVISE: OnAdvise(self, c, lParam); break;
    case WM_DDE_UNADVISE: OnUnadvise(self, c, lParam); break;
    case WM_DDE_ACK: OnAck(self, c, lParam); break;
    case WM_DDE_TERMINATE: OnTerminate(self, c); break;
    case WM_DDE_EXECUTE:
      // No commands: refused, the client keeps its memory.
      PostAck(self, c, PackAck(false, static_cast<UINT_PTR>(lParam)));
      break;
    default: FreeDDElParam(message, lParam); break;
  }
}

bool DdeLinkServer::PostAck(HWND self, Conversation& c, LPARAM packed) {
  if (PostMessageW(c.client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self), packed)) return true;
  UINT_PTR lo = 0, hi = 0;
  UnpackDDElParam(WM_DDE_ACK, packed, &lo, &hi);
  FreeDDElParam(WM_DDE_ACK, packed);
  // hi is the item's atom except for an execute's answer.
  if (hi <= 0xFFFF) GlobalDeleteAtom(static_cast<ATOM>(hi));
  dead_.push_back(self);
  return false;
}

void DdeLinkServer::OnRequest(HWND self, Conversation& c, LPARAM lParam) {
  const auto format = static_cast<UINT>(LOWORD(lParam));
  const auto atom = static_cast<ATOM>(HIWORD(lParam));
  const LinkItem item = LinkItemOfAtom(atom);
  if (item == LinkItem::Unknown || !IsLinkFormat(format)) {
    PostAck(self, c, PackAck(false, atom));
    return;
  }
  const HWND client = c.client;
  const std::string value = request_(item);
  // The host may have pumped messages meanwhile; the conversation may be gone.
  if (!conversations_.count(self)) {
    GlobalDeleteAtom(atom);
    return;
  }
  HGLOBAL data = MakeData(format, value, true, false);
  if (!data) {
    PostAck(self, c, PackAck(false, atom));
    return;
  }
  // The request's atom goes back with the data; the client deletes it.
  const LPARAM packed = PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(data), atom);
  if (!PostMessageW(client, WM_DDE_DATA, reinterpret_cast<WPARAM>(self), packed)) {
    FreeDDElParam(WM_DDE_DATA, packed);
    GlobalFree(data);
    GlobalDeleteAtom(atom);
    dead_.push_back(self);
  }
}

void DdeLinkServer::OnPoke(HWND self, Conversation& c, LPARAM lParam) {
  UINT_PTR lo = 0, hi = 0;
  UnpackDDElParam(WM_DDE_POKE, lParam, &lo, &hi);
  auto* memory = reinterpret_cast<HGLOBAL>(lo);
  const auto atom = static_cast<ATOM>(hi);
  const LinkItem item = LinkItemOfAtom(atom);
  std::optional<std::string> text;
  bool release = false;
  if (auto* poke = memory ? static_cast<DDEPOKE*>(GlobalLock(memory)) : nullptr) {
    const SIZE_T size = GlobalSize(memory);
    release = poke->fRelease != 0;
    const auto format = static_cast<UINT>(static_cast<unsigned short>(poke->cfFormat));
    if (IsPokable(item) && size >= offsetof(DDEPOKE, Value)) {
      text = LinkTextToUtf8(format, poke->Value, size - offsetof(DDEPOKE, Value));
    }
    GlobalUnlock(memory);
  }
  const bool accepted = text.has_value();
  // Accepted with fRelease, the memory is ours to free (before the ack, so
  // the client never sees it alive after); refused, it stays the client's,
  // unless no one is left to receive the answer.
  const bool freed = memory && accepted && release;
  if (freed) GlobalFree(memory);
  const LPARAM ack = ReuseDDElParam(lParam, WM_DDE_POKE, WM_DDE_ACK, accepted ? kAckPositive : 0, atom);
  if (!PostAck(self, c, ack) && memory && !freed) GlobalFree(memory);
  if (accepted) poke_(item, *text);
}

void DdeLinkServer::OnAdvise(HWND self, Conversation& c, LPARAM lParam) {
  UINT_PTR lo = 0, hi = 0;
  UnpackDDElParam(WM_DDE_ADVISE, lParam, &lo, &hi);
  auto* memory = reinterpret_cast<HGLOBAL>(lo);
  const auto atom = static_cast<ATOM>(hi);
  const LinkItem item = LinkItemOfAtom(atom);
  bool accepted = false;
  if (auto* options = memory ? static_cast<DDEADVISE*>(GlobalLock(memory)) : nullptr) {
    const auto format = static_cast<UINT>(static_cast<unsigned short>(options->cfFormat));
    if (item != LinkItem::Unknown && IsLinkFormat(format)) {
      AdviseLink& link = c.advises[{item, format}];
      link.deferUpd = options->fDeferUpd != 0;
      link.ackReq = options->fAckReq != 0;
      accepted = true;
    }
    GlobalUnlock(memory);
  }
  // Accepted, the options are ours to free; refused, the client's.
  if (memory && accepted) GlobalFree(memory);
  const LPARAM ack = ReuseDDElParam(lParam, WM_DDE_ADVISE, WM_DDE_ACK, accepted ? kAckPositive : 0, atom);
  if (!PostAck(self, c, ack) && memory && !accepted) GlobalFree(memory);
}

void DdeLinkServer::OnUnadvise(HWND self, Conversation& c, LPARAM lParam) {
  const auto format = static_cast<UINT>(LOWORD(lParam));
  const auto atom = static_cast<ATOM>(HIWORD(lParam));
  // Atom 0: every item; format 0: every format of the item.
  const LinkItem item = atom ? LinkItemOfAtom(atom) : LinkItem::Unknown;
  bool removed = false;
  for (auto it = c.advises.begin(); it != c.advises.end();) {
    if ((!atom || it->first.first == item) && (!format || it->first.second == format)) {
      it = c.advises.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  PostAck(self, c, PackAck(removed || !atom, atom));
}

void DdeLinkServer::OnAck(HWND self, Conversation& c, LPARAM lParam) {
  UINT_PTR status = 0, hi = 0;
  UnpackDDElParam(WM_DDE_ACK, lParam, &status, &hi);
  FreeDDElParam(WM_DDE_ACK, lParam);
  const auto atom = static_cast<ATOM>(hi);
  const LinkItem item = LinkItemOfAtom(atom);
  GlobalDeleteAtom(atom);
  for (auto& [key, link] : c.advises) {
    if (key.first != item || !link.awaitingAck) continue;
    // Refused data is the sender's to free.
    if (!(status & kAckPositive) && link.inFlight) GlobalFree(link.inFlight);
    link.inFlight = nullptr;
    link.awaitingAck = false;
    if (link.changedMeanwhile) {
      link.changedMeanwhile = false;
      SendAdvise(self, c, key.first, key.second, link);
    }
    break;
  }
}

void DdeLinkServer::OnTerminate(HWND self, Conversation& c) {
  // Answered with our own, or the client's DdeDisconnect waits for it.
  if (!c.terminating) PostMessageW(c.client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(self), 0);
  dead_.push_back(self);
}

void DdeLinkServer::Changed(LinkItem item) {
  for (auto& [self, c] : conversations_) {
    for (auto& [key, link] : c.advises) {
      if (key.first == item) SendAdvise(self, c, key.first, key.second, link);
    }
  }
  DropDead();
}

void DdeLinkServer::Answered() {
  for (LinkItem item :
       {LinkItem::Addr0, LinkItem::Addr1, LinkItem::Addr2, LinkItem::Addr3, LinkItem::Addr4, LinkItem::Addr5}) {
    Changed(item);
  }
}

void DdeLinkServer::SendAdvise(HWND self, Conversation& c, LinkItem item, UINT format, AdviseLink& link) {
  if (c.terminating) return;
  if (link.awaitingAck) {
    link.changedMeanwhile = true;
    return;
  }
  // A warm link (fDeferUpd) gets the notice without data.
  HGLOBAL data = link.deferUpd ? nullptr : MakeData(format, request_(item), false, link.ackReq);
  if (!link.deferUpd && !data) return;
  const ATOM atom = GlobalAddAtomW(LinkItemName(item).c_str());
  const LPARAM packed = PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(data), atom);
  if (!PostMessageW(c.client, WM_DDE_DATA, reinterpret_cast<WPARAM>(self), packed)) {
    FreeDDElParam(WM_DDE_DATA, packed);
    if (data) GlobalFree(data);
    GlobalDeleteAtom(atom);
    dead_.push_back(self);
    c.terminating = true;
    return;
  }
  if (link.ackReq) {
    link.awaitingAck = true;
    link.inFlight = data;
  }
}

void DdeLinkServer::Drop(HWND self) {
  if (conversations_.erase(self) == 0) return;
  SetWindowLongPtrW(self, GWLP_USERDATA, 0);
  DestroyWindow(self);
}

void DdeLinkServer::DropDead() {
  std::vector<HWND> dead;
  dead.swap(dead_);
  for (HWND self : dead) Drop(self);
}

}  // namespace kovant::platform
