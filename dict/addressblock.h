// An address pasted as a block of lines, as an e-mail signature holds it
// (company, person, 〒, address, TEL, mail), reduced to the address for
// the resolver, which takes one line.
#pragma once

#include <string>
#include <string_view>

namespace kovant::dict {

// The address line of a block: the first line that begins with a
// prefecture, else the first with a city, ward, town or village and a
// number. A leading "〒" and code, and a label such as "住所：", are taken
// off; a line without a number is joined by the next when that one has a
// number (the address broken after the city). Text of one line comes back
// as it is; a block without an address line comes back on one line, its
// lines joined by a blank, for the resolver to say why it found none.
std::string AddressInBlock(std::string_view text);

}  // namespace kovant::dict
