#pragma once
// The order in which constructs that extend one another are written, so that each reads back after the
// construct it extends.
#include <unordered_set>
#include <vector>

#include "rulecraft/core/IEException.h"

namespace rulecraft {

/// Items in an order where every item comes after its parent: first those without a parent (or whose
/// parent is not among the items), in their order, then the others as their parents are written. Parents
/// forming a cycle raise Corrupt.
template <class T, class FParentOf>
std::vector<T> ParentsFirst(const std::vector<T>& Items, FParentOf ParentOf, const char* Corrupt) {
  std::unordered_set<const void*> Listed;
  for (const T& Item : Items) Listed.insert(Item.get());
  std::vector<T> Ordered;
  std::vector<T> Waiting;
  std::unordered_set<const void*> Written;
  for (const T& Item : Items) {
    const void* Parent = ParentOf(Item);
    if (!Parent || !Listed.count(Parent)) {
      Ordered.push_back(Item);
      Written.insert(Item.get());
    } else {
      Waiting.push_back(Item);
    }
  }
  while (!Waiting.empty()) {
    std::vector<T> Still;
    for (const T& Item : Waiting) {
      if (Written.count(ParentOf(Item))) {
        Ordered.push_back(Item);
        Written.insert(Item.get());
      } else {
        Still.push_back(Item);
      }
    }
    if (Still.size() == Waiting.size()) throw EIEException(std::string(Corrupt));
    Waiting = std::move(Still);
  }
  return Ordered;
}

}  // namespace rulecraft
