#include "platform/files.h"

#include <cerrno>

namespace kovant::platform {

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return "ファイルまたはフォルダーがありません";
    case ENOTDIR: return "途中の名前がフォルダーではありません";
    case EISDIR: return "フォルダーです";
    case EACCES:
    case EPERM: return "許可がありません";
    case EROFS: return "読み取り専用のファイルシステムです";
    case ENOSPC: return "ディスクの空きがありません";
#ifdef EDQUOT  // not on Windows
    case EDQUOT: return "ディスクの割り当てを超えました";
#endif
    case EFBIG: return "ファイルが大きすぎます";
    case ENAMETOOLONG: return "名前が長すぎます";
    case ELOOP: return "シンボリックリンクが多すぎます";
    case EEXIST: return "すでにあります";
    case EBUSY:
    case ETXTBSY: return "使用中です";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます";
    case ENOMEM: return "メモリーが足りません";
    case EIO: return "入出力エラーです";
    case EPIPE: return "読み手がいません";
    case ENXIO:
    case ENODEV: return "装置がありません";
    case EAGAIN: return "一時的に使えません";
    case EINVAL: return "正しくない引数です";
    default: return "エラー番号 " + std::to_string(err);
  }
}

namespace {

constexpr bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || !IsSeparator(path.back())) path += '/';
  path += name;
  return path;
}

std::size_t FileNameStart(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i;
  }
  return 0;
}

std::string DisplayPath(std::string_view path) {
  std::string shown(path);
#ifdef _WIN32
  for (char& c : shown) {
    if (c == '/') c = '\\';
  }
#endif
  return shown;
}

}  // namespace kovant::platform
