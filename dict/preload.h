// The names of the country loaded before the first address is typed: the
// load (a quarter to half a second) starts when the window opens, on a
// thread of its own, and the first address waits only for what is left.
#pragma once

#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "dict/address.h"

namespace kovant::dict {

class GazetteerPreload {
 public:
  GazetteerPreload() = default;
  GazetteerPreload(const GazetteerPreload&) = delete;
  GazetteerPreload& operator=(const GazetteerPreload&) = delete;
  ~GazetteerPreload();  // waits for a load under way

  // Begins loading path in the background; nothing when that path's load
  // has begun already. Another path replaces the load.
  void Start(const std::string& path);
  // The gazetteer of path: the one loading (waiting for it), or loaded now
  // when none was started for path. Its error when it cannot be read.
  Result<std::shared_ptr<const Gazetteer>> Get(const std::string& path);
  // Forgets what was loaded (the dictionary was replaced).
  void Reset();

 private:
  using Loaded = Result<std::shared_ptr<const Gazetteer>>;
  std::mutex mutex_;
  std::string path_;
  std::shared_future<Loaded> loading_;
};

}  // namespace kovant::dict
