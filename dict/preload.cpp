#include "dict/preload.h"

#include <utility>

namespace kovant::dict {
namespace {

Result<std::shared_ptr<const Gazetteer>> LoadShared(const std::string& path) {
  auto loaded = Gazetteer::Load(path);
  if (!loaded) return loaded.error();
  return std::shared_ptr<const Gazetteer>(std::make_shared<Gazetteer>(std::move(*loaded)));
}

}  // namespace

GazetteerPreload::~GazetteerPreload() {
  if (loading_.valid()) loading_.wait();
}

void GazetteerPreload::Start(const std::string& path) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (loading_.valid() && path_ == path) return;
  path_ = path;
  loading_ = std::async(std::launch::async, LoadShared, path).share();
}

Result<std::shared_ptr<const Gazetteer>> GazetteerPreload::Get(const std::string& path) {
  std::shared_future<Loaded> loading;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!loading_.valid() || path_ != path) {
      path_ = path;
      std::promise<Loaded> now;
      now.set_value(LoadShared(path));
      loading_ = now.get_future().share();
    }
    loading = loading_;
  }
  return loading.get();
}

void GazetteerPreload::Reset() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (loading_.valid()) loading_.wait();
  loading_ = {};
  path_.clear();
}

}  // namespace kovant::dict
