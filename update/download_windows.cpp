// The download on Windows, through WinHTTP: the system's TLS, certificate
// store and proxy settings, as the user's browser has them.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "update/download.h"

namespace kovant::tools {
namespace {

using Clock = std::chrono::steady_clock;

struct HandleCloser {
  void operator()(HINTERNET h) const { WinHttpCloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// WinHTTP's texts come in the system's language; the common ones, ours.
std::string ErrorText(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "http と https のほかは使えません";
    case ERROR_WINHTTP_INVALID_URL: return "アドレスが正しくありません";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "ホスト名を解決できません";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "接続できません";
    case ERROR_WINHTTP_REDIRECT_FAILED: return "転送が多すぎます";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "安全な接続を確かめられません";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "接続が途中で切れました";
    default: return "WinHTTP のエラー番号 " + std::to_string(code);
  }
}

// A request ready to send: its session (the proxy as configured for the
// user), connection and request handles.
struct Request {
  Handle session, connection, request;
};

dict::Result<Request> Open(const std::string& url, const DownloadOptions& options) {
  const std::wstring wide = Wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  wchar_t host[256] = {}, path[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
  parts.dwExtraInfoLength = 1;  // the query stays on the path
  if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts))
    return dict::Error{url + ": ダウンロードできませんでした（" + ErrorText(GetLastError()) + "）。"};
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return dict::Error{url + ": ダウンロードできませんでした（http と https のほかは使えません）。"};
  Request r;
  r.session.reset(WinHttpOpen(L"kovant-mkdic", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
  if (!r.session) {
    // Before Windows 8.1: the proxy as set for WinHTTP.
    r.session.reset(WinHttpOpen(L"kovant-mkdic", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!r.session) return dict::Error{"通信ライブラリを初期化できません。"};
  const int connectMs = static_cast<int>(options.connectSeconds * 1000);
  const int stallMs = static_cast<int>(options.stallSeconds * 1000);
  WinHttpSetTimeouts(r.session.get(), connectMs, connectMs, stallMs, stallMs);
  r.connection.reset(
      WinHttpConnect(r.session.get(), std::wstring(host, parts.dwHostNameLength).c_str(), parts.nPort, 0));
  if (!r.connection) return dict::Error{url + ": ダウンロードできませんでした（" + ErrorText(GetLastError()) + "）。"};
  const std::wstring object(path, parts.dwUrlPathLength + parts.dwExtraInfoLength);
  r.request.reset(WinHttpOpenRequest(r.connection.get(), L"GET", object.empty() ? L"/" : object.c_str(), nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!r.request) return dict::Error{url + ": ダウンロードできませんでした（" + ErrorText(GetLastError()) + "）。"};
  // Redirects followed, at most five, never from https down to http.
  DWORD redirects = 5;
  WinHttpSetOption(r.request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof redirects);
  return r;
}

DWORD QueryNumber(HINTERNET request, DWORD what, DWORD fallback) {
  DWORD value = 0, size = sizeof value;
  if (!WinHttpQueryHeaders(request, what | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return fallback;
  }
  return value;
}

// The body, within the options' limits. Blocking waits for data, each
// ended by the stall timeout; the overall limit and a cancel are seen
// between them.
dict::Result<std::string> ReadBody(HINTERNET request, const std::string& url, const DownloadOptions& options,
                                   Clock::time_point start, size_t total) {
  std::string body;
  char buf[65536];
  for (;;) {
    if (options.cancel && options.cancel->load()) return dict::Error{url + ": 中止しました。"};
    if (Clock::now() - start >= std::chrono::seconds(options.totalSeconds))
      return dict::Error{url + ": 時間がかかりすぎるため中止しました。"};
    // What has come, not a full buffer: a read waits to fill it, and a
    // slow transfer would answer a cancel only seconds later.
    DWORD ready = 0, got = 0;
    if (!WinHttpQueryDataAvailable(request, &ready) ||
        !WinHttpReadData(request, buf, std::clamp<DWORD>(ready, 1, sizeof buf), &got)) {
      const DWORD code = GetLastError();
      if (code == ERROR_WINHTTP_TIMEOUT) return dict::Error{url + ": 転送が遅すぎるため中止しました。"};
      return dict::Error{url + ": ダウンロードできませんでした（" + ErrorText(code) + "）。"};
    }
    if (got == 0) break;
    if (body.size() + got > options.maxBytes) return dict::Error{url + ": 大きすぎるため中止しました。"};
    body.append(buf, got);
    if (options.progress) options.progress(body.size(), total);
  }
  if (total != 0 && total != body.size()) return dict::Error{url + ": 途中で切れました。"};
  return body;
}

}  // namespace

dict::Result<std::string> Download(const std::string& url, const DownloadOptions& options) {
  const auto start = Clock::now();
  auto r = Open(url, options);
  if (!r) return r.error();
  HINTERNET request = r->request.get();
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request, nullptr)) {
    const DWORD code = GetLastError();
    if (code == ERROR_WINHTTP_TIMEOUT) return dict::Error{url + ": 応答がないため中止しました。"};
    return dict::Error{url + ": ダウンロードできませんでした（" + ErrorText(code) + "）。"};
  }
  const DWORD status = QueryNumber(request, WINHTTP_QUERY_STATUS_CODE, 0);
  if (status < 200 || status > 299) {
    return dict::Error{url + ": サーバーが拒否しました（HTTP " + std::to_string(status) + "）。"};
  }
  const size_t total = QueryNumber(request, WINHTTP_QUERY_CONTENT_LENGTH, 0);
  return ReadBody(request, url, options, start, total);
}

}  // namespace kovant::tools
