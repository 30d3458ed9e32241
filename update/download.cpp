#include "update/download.h"

#include <curl/curl.h>

#include <chrono>

namespace kovant::tools {
namespace {

// libcurl's texts are English; the ones a user meets, in Japanese.
std::string CurlErrorText(CURLcode rc) {
  switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL: return "http と https のほかは使えません";
    case CURLE_URL_MALFORMAT: return "アドレスが正しくありません";
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return "ホスト名を解決できません";
    case CURLE_COULDNT_CONNECT: return "接続できません";
    case CURLE_TOO_MANY_REDIRECTS: return "転送が多すぎます";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE: return "安全な接続を確かめられません";
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return "接続が途中で切れました";
    case CURLE_WRITE_ERROR:
    case CURLE_ABORTED_BY_CALLBACK: return "中止しました";
    default: return "libcurl のエラー番号 " + std::to_string(static_cast<int>(rc));
  }
}

// A real mirror sends the national file (about 2 MB) at hundreds of KB a
// second; even a poor mobile line beats 1 KiB/s by far. Below it for the
// whole stall window, the file would take over half an hour: that is no
// transfer but a server (or something between) that trickles.
constexpr long kMinBytesPerSecond = 1024;

struct Transfer {
  std::string body;
  const DownloadOptions* options = nullptr;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool tooLarge = false, tooLong = false, cancelled = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > t->options->maxBytes) {
    t->tooLarge = true;
    return 0;  // ends the transfer with a write error
  }
  t->body.append(data, n);
  return n;
}

// Also keeps the overall limit: curl calls this about once a second even
// when nothing moves, and an abort here, unlike curl's own timeout, cannot
// be mistaken for a stall.
int OnProgress(void* user, curl_off_t total, curl_off_t done, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (std::chrono::steady_clock::now() - t->start >= std::chrono::seconds(t->options->totalSeconds)) {
    t->tooLong = true;
    return 1;
  }
  if (t->options->cancel && t->options->cancel->load()) {
    t->cancelled = true;
    return 1;
  }
  if (t->options->progress) t->options->progress(static_cast<size_t>(done), static_cast<size_t>(total));
  return 0;
}

}  // namespace

dict::Result<std::string> Download(const std::string& url, const DownloadOptions& options) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!initialised) return dict::Error{"通信ライブラリを初期化できません。"};
  CURL* curl = curl_easy_init();
  if (!curl) return dict::Error{"通信ライブラリを初期化できません。"};
  Transfer t;
  t.options = &options;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectSeconds);
  // A slow line may take minutes, but one that stalls or trickles ends
  // (and OnProgress ends any at the overall limit).
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kMinBytesPerSecond);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "kovant-mkdic");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t expected = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
  curl_easy_cleanup(curl);

  if (t.cancelled) return dict::Error{url + ": 中止しました。"};
  if (t.tooLarge) return dict::Error{url + ": 大きすぎるため中止しました。"};
  if (t.tooLong) return dict::Error{url + ": 時間がかかりすぎるため中止しました。"};
  if (rc == CURLE_OPERATION_TIMEDOUT) {
    // Nothing at all came, or too little: a server that trickles its
    // headers too looks like one that never answers.
    const bool nothing = status == 0 && t.body.empty();
    return dict::Error{url + (nothing ? ": 応答がないため中止しました。" : ": 転送が遅すぎるため中止しました。")};
  }
  if (rc != CURLE_OK) return dict::Error{url + ": ダウンロードできませんでした（" + CurlErrorText(rc) + "）。"};
  if (status < 200 || status > 299) {
    return dict::Error{url + ": サーバーが拒否しました（HTTP " + std::to_string(status) + "）。"};
  }
  if (expected >= 0 && static_cast<size_t>(expected) != t.body.size()) {
    return dict::Error{url + ": 途中で切れました。"};
  }
  return std::move(t.body);
}

}  // namespace kovant::tools
