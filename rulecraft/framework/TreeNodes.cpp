#include "rulecraft/framework/TreeNodes.h"

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

namespace {

[[noreturn]] void IndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

}  // namespace

TTreeNode* TTreeNode::AddChild(const std::string& Text) {
  FChildren.push_back(std::make_unique<TTreeNode>(Text));
  return FChildren.back().get();
}

TTreeNode* TTreeNode::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FChildren[static_cast<size_t>(Index)].get();
}

TTreeNode* TTreeNodes::Add(const std::string& Text) {
  FNodes.push_back(std::make_unique<TTreeNode>(Text));
  return FNodes.back().get();
}

TTreeNode* TTreeNodes::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FNodes[static_cast<size_t>(Index)].get();
}

}  // namespace rulecraft
