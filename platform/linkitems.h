// The items of the link: what another program may poke and request.
#pragma once

#include <cstddef>
#include <string_view>

namespace kovant::platform {

enum class LinkItem { Unknown, Cmd, DistName, Addr0, Addr1, Addr2, Addr3, Addr4, Addr5 };

// "Cmd", "DistName", "Addr(0)" .. "Addr(5)", exactly; anything else is Unknown.
LinkItem ParseLinkItem(std::string_view name);

inline bool IsPokable(LinkItem item) { return item == LinkItem::Cmd || item == LinkItem::DistName; }
inline int AddrIndex(LinkItem item) {
  return item >= LinkItem::Addr0 ? static_cast<int>(item) - static_cast<int>(LinkItem::Addr0) : -1;
}

// Values larger than this are refused.
inline constexpr std::size_t kMaxLinkValueBytes = 4096;

}  // namespace kovant::platform
