// The rows of a search result: texts one after another in one buffer.
//
// A former code lists hundreds of towns; a string each cost more than the
// search itself, so the rows share one allocation for their texts and one
// for their ends and item data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dict/listorder.h"

namespace kovant::dict {

// One row as the list shows it; valid while its list is unchanged.
struct RowView {
  std::string_view text;  // UTF-8
  int32_t itemData = 0;
};

class RowList {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = RowView;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = RowView;
    const_iterator() = default;
    const_iterator(const RowList* list, size_t i) : list_(list), i_(i) {}
    RowView operator*() const { return (*list_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator was = *this;
      ++i_;
      return was;
    }
    bool operator==(const const_iterator&) const = default;

   private:
    const RowList* list_ = nullptr;
    size_t i_ = 0;
  };

  void Reserve(size_t rows, size_t textBytes) {
    rows_.reserve(rows);
    texts_.reserve(textBytes);
  }
  // A row whose text is the parts one after another.
  void Append(std::string_view head, std::string_view tail, int32_t itemData) {
    texts_.append(head).append(tail);
    rows_.push_back({static_cast<uint32_t>(texts_.size()), itemData});
  }
  void Append(std::string_view text, int32_t itemData) { Append(text, {}, itemData); }
  void Append(const ListEntry& entry) { Append(entry.text, entry.itemData); }

  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  RowView operator[](size_t i) const {
    const uint32_t begin = i == 0 ? 0 : rows_[i - 1].end;
    return {std::string_view(texts_).substr(begin, rows_[i].end - begin), rows_[i].itemData};
  }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, rows_.size()}; }

  // The texts one after another, row i's ending where TextEnd(i) says:
  // for a holder that keeps the buffer rather than a string a row.
  const std::string& Texts() const { return texts_; }
  std::string TakeTexts() && { return std::move(texts_); }
  uint32_t TextEnd(size_t i) const { return rows_[i].end; }

  bool operator==(const RowList&) const = default;

 private:
  struct Row {
    uint32_t end;  // of the text in texts_; it begins where the row before ends
    int32_t itemData;
    bool operator==(const Row&) const = default;
  };
  std::string texts_;
  std::vector<Row> rows_;
};

// The entries' texts and item data, in their order.
inline RowList RowsOf(const std::vector<ListEntry>& entries) {
  size_t bytes = 0;
  for (const ListEntry& e : entries) bytes += e.text.size();
  RowList rows;
  rows.Reserve(entries.size(), bytes);
  for (const ListEntry& e : entries) rows.Append(e);
  return rows;
}

}  // namespace kovant::dict
