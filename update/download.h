// Fetching Japan Post's files over HTTP(S) for `kovant-mkdic --update`.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "dict/result.h"

namespace kovant::tools {

// Japan Post's published addresses of the two files, or BASE/ken_all.zip
// and BASE/jigyosyo.zip for a mirror.
struct DataUrls {
  std::string towns, offices;
};
DataUrls PublishedDataUrls(const std::string& mirrorBase);

struct DownloadOptions {
  long connectSeconds = 30;
  long stallSeconds = 60;   // a transfer that moves nothing this long fails
  long totalSeconds = 600;  // a transfer that takes longer fails
  size_t maxBytes = size_t{256} << 20;
  // Called now and then with the bytes so far and the total (0 when unknown).
  std::function<void(size_t done, size_t total)> progress;
  // Set from another thread: the transfer ends within about a second.
  const std::atomic<bool>* cancel = nullptr;
};

// The body of a successful (2xx) answer, after following up to five
// redirects over http or https. Anything else is an error with a message
// for the user.
dict::Result<std::string> Download(const std::string& url, const DownloadOptions& options);

}  // namespace kovant::tools
