#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrovan {

// Target := Source's Copy, written into the part Target already holds when
// that part takes it (its AssignCopyOf), else a new one; nothing for no Source.
template <class TPart>
void AssignCopy(std::unique_ptr<TPart>& Target, const TPart* Source) {
  if (Source == nullptr) {
    Target.reset();
  } else if (!Target || !Target->AssignCopyOf(*Source)) {
    Target = Source->Copy();
  }
}

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

  // This list := a copy of Source, element by element in the elements it
  // already holds where they take it (see AssignCopy).
  void AssignCopyOf(const TOwningList& Source) {
    const std::size_t count = Source.items_.size();
    if (items_.size() > count) {
      items_.resize(count);
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
      AssignCopy(items_[i], Source.items_[i].get());
    }
    while (items_.size() < count) {
      items_.push_back(Source.items_[items_.size()]->Copy());
    }
  }

  int Count() const { return static_cast<int>(items_.size()); }
  TElement& Items(int i) { return *items_[static_cast<std::size_t>(i - 1)]; }
  const TElement& Items(int i) const { return *items_[static_cast<std::size_t>(i - 1)]; }
  // Appends Element's own Copy; the caller keeps Element.
  void Add(const TElement& Element) { items_.push_back(Element.Copy()); }

 private:
  std::vector<std::unique_ptr<TElement>> items_;
};

}  // namespace kestrovan
