// Kanji as people type them against the forms Japan Post lists: the
// compatibility ideographs (塚 typed as U+FA10), the look-alike 巿 for 市,
// and the older or variant forms place names are written with (國 国,
// 櫻 桜, 邊 邉 辺, 梼 檮 ...), each as one form of its group.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovant::dict {

// The text with every variant kanji as its group's form; everything else
// as it was. Both sides of a comparison go through it.
std::string FoldVariants(std::string_view utf8);

// How many characters the table folds (for the documentation's figures).
size_t VariantCount();

}  // namespace kovant::dict
