// The addresses of Japan Post's files, the same on every system.
#include "update/download.h"

namespace kovant::tools {
namespace {

std::string WithoutTrailingSlash(std::string s) {
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

DataUrls PublishedDataUrls(const std::string& mirrorBase) {
  if (!mirrorBase.empty()) {
    const std::string base = WithoutTrailingSlash(mirrorBase);
    return {base + "/ken_all.zip", base + "/jigyosyo.zip"};
  }
  return {"https://www.post.japanpost.jp/zipcode/dl/kogaki/zip/ken_all.zip",
          "https://www.post.japanpost.jp/zipcode/dl/jigyosyo/zip/jigyosyo.zip"};
}

}  // namespace kovant::tools
