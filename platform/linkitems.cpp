#include "platform/linkitems.h"

namespace kovant::platform {

LinkItem ParseLinkItem(std::string_view name) {
  if (name == "Cmd") return LinkItem::Cmd;
  if (name == "DistName") return LinkItem::DistName;
  if (name.size() == 7 && name.substr(0, 5) == "Addr(" && name[6] == ')' && name[5] >= '0' && name[5] <= '5') {
    return static_cast<LinkItem>(static_cast<int>(LinkItem::Addr0) + (name[5] - '0'));
  }
  return LinkItem::Unknown;
}

}  // namespace kovant::platform
