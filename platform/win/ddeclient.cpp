#include "platform/win/ddeclient.h"

#include <map>
#include <optional>
#include <vector>

#include "platform/win/ddelink.h"

namespace kovant::platform {

namespace {

// DDEML's callback knows the client only by its conversation.
std::map<HCONV, int*>& Notices() {
  static std::map<HCONV, int*> notices;
  return notices;
}

std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

DdeClient::DdeClient(Api api) : api_(api) {
  const DWORD flags = APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS;
  const UINT status =
      api_ == Api::Unicode ? DdeInitializeW(&inst_, Callback, flags, 0) : DdeInitializeA(&inst_, Callback, flags, 0);
  if (status != DMLERR_NO_ERROR) inst_ = 0;
}

DdeClient::~DdeClient() {
  Disconnect();
  if (inst_) DdeUninitialize(inst_);
}

HDDEDATA CALLBACK DdeClient::Callback(UINT type, UINT, HCONV conv, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  if (type == XTYP_ADVDATA) {
    auto it = Notices().find(conv);
    if (it != Notices().end()) ++*it->second;
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
  }
  return nullptr;
}

HSZ DdeClient::Handle(const std::string& ascii) {
  if (api_ == Api::Ansi) return DdeCreateStringHandleA(inst_, ascii.c_str(), CP_WINANSI);
  const std::wstring wide(ascii.begin(), ascii.end());
  return DdeCreateStringHandleW(inst_, wide.c_str(), CP_WINUNICODE);
}

std::string DdeClient::Failure(const char* what) {
  const UINT error = inst_ ? DdeGetLastError(inst_) : DMLERR_DLL_NOT_INITIALIZED;
  if (error == DMLERR_NOTPROCESSED) return std::string(what) + "が断られました。";
  if (error == DMLERR_NO_CONV_ESTABLISHED) return "ぴこらんが起動していません。";
  if (error == DMLERR_POKEACKTIMEOUT || error == DMLERR_DATAACKTIMEOUT || error == DMLERR_ADVACKTIMEOUT) {
    return std::string(what) + "に応答がありませんでした。";
  }
  return std::string(what) + "に失敗しました（DDE エラー " + std::to_string(error) + "）。";
}

std::string DdeClient::Connect(const std::wstring& service, const std::wstring& topic) {
  if (!inst_) return "DDE を使えません。";
  Disconnect();
  HSZ s = Handle(Ascii(service));
  HSZ t = Handle(Ascii(topic));
  conv_ = DdeConnect(inst_, s, t, nullptr);
  DdeFreeStringHandle(inst_, s);
  DdeFreeStringHandle(inst_, t);
  if (conv_) Notices()[conv_] = &notices_;
  return conv_ ? std::string() : "ぴこらんが起動していません。";
}

void DdeClient::Disconnect() {
  if (!conv_) return;
  Notices().erase(conv_);
  DdeDisconnect(conv_);
  conv_ = nullptr;
}

std::string DdeClient::Poke(const std::string& item, const std::string& utf8, UINT format, DWORD timeoutMs) {
  if (!conv_) return "ぴこらんにつながっていません。";
  std::vector<char> bytes = Utf8ToLinkText(format, utf8);
  HSZ h = Handle(item);
  DWORD status = 0;
  HDDEDATA ok = DdeClientTransaction(reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()), conv_, h,
                                     format, XTYP_POKE, timeoutMs, &status);
  DdeFreeStringHandle(inst_, h);
  // Some DDEML clients report a refused poke as done, with the ack's status
  // in the result alone.
  if (ok && !(status & DDE_FACK)) return "「" + item + "」の書き込みが断られました。";
  return ok ? std::string() : Failure(("「" + item + "」の書き込み").c_str());
}

std::string DdeClient::Request(const std::string& item, UINT format, DWORD timeoutMs, std::string* utf8) {
  if (!conv_) return "ぴこらんにつながっていません。";
  HSZ h = Handle(item);
  HDDEDATA data = DdeClientTransaction(nullptr, 0, conv_, h, format, XTYP_REQUEST, timeoutMs, nullptr);
  DdeFreeStringHandle(inst_, h);
  if (!data) return Failure(("「" + item + "」の読み出し").c_str());
  DWORD size = 0;
  const BYTE* bytes = DdeAccessData(data, &size);
  std::optional<std::string> text = bytes ? LinkTextToUtf8(format, bytes, size) : std::nullopt;
  DdeUnaccessData(data);
  DdeFreeDataHandle(data);
  if (!text) return "「" + item + "」の答えが読めません。";
  *utf8 = std::move(*text);
  return {};
}

std::string DdeClient::StartAdvise(const std::string& item, UINT format, DWORD timeoutMs) {
  if (!conv_) return "ぴこらんにつながっていません。";
  HSZ h = Handle(item);
  HDDEDATA ok = DdeClientTransaction(nullptr, 0, conv_, h, format, XTYP_ADVSTART | XTYPF_NODATA, timeoutMs, nullptr);
  DdeFreeStringHandle(inst_, h);
  return ok ? std::string() : Failure(("「" + item + "」の監視").c_str());
}

bool DdeClient::WaitAdvise(DWORD timeoutMs) {
  const int before = notices_;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    // What is queued already goes first, and the wait wakes for queued
    // input too: the poke's own loop may have looked at the notice's
    // message and left it, and a plain wait sleeps past it to the end.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (notices_ != before) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace kovant::platform
