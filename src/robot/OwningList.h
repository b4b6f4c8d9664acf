#pragma once

#include <memory>
#include <vector>

namespace kestrovan {

// An owning, 1-based list of polymorphic elements; Add stores the element's
// own Copy, so the caller keeps what it passed. Copying the list copies
// every element.
template <class TElement>
class TOwningList {
 public:
  TOwningList() = default;
  TOwningList(const TOwningList& Source) {
    items_.reserve(Source.items_.size());
    for (const auto& item : Source.items_) {
      items_.push_back(item->Copy());
    }
  }
  TOwningList& operator=(const TOwningList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TElement& Items(int i) { return *items_[static_cast<std::size_t>(i - 1)]; }
  const TElement& Items(int i) const { return *items_[static_cast<std::size_t>(i - 1)]; }
  // Appends Element's own Copy; the caller keeps Element.
  void Add(const TElement& Element) { items_.push_back(Element.Copy()); }

 private:
  std::vector<std::unique_ptr<TElement>> items_;
};

}  // namespace kestrovan
