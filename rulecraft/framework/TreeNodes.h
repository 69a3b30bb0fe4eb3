#pragma once
// TTreeNodes: the node list of a tree view, the destination hosts hand to objects that describe themselves
// as a tree (AssignTo). A TTreeNodes owns its root nodes; every TTreeNode owns its children, kept in order.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/framework/Object.h"

namespace rulecraft {

class TTreeNode {
 public:
  explicit TTreeNode(std::string Text) : FText(std::move(Text)) {}
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  const std::string& GetText() const noexcept { return FText; }
  void SetText(const std::string& Value) { FText = Value; }

  /// Appends a child node with that text and returns it (owned by this node).
  TTreeNode* AddChild(const std::string& Text);
  int32_t Count() const noexcept { return static_cast<int32_t>(FChildren.size()); }
  /// The child at Index; EListError "List index out of bounds (%d)" outside 0..Count()-1.
  TTreeNode* Item(int32_t Index) const;

 private:
  std::string FText;
  std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

class TTreeNodes : public TPersistent {
  RC_CLASS(TTreeNodes, TPersistent)
 public:
  TTreeNodes() = default;

  /// Appends a root node with that text and returns it (owned by this list).
  TTreeNode* Add(const std::string& Text);
  int32_t Count() const noexcept { return static_cast<int32_t>(FNodes.size()); }
  /// The root node at Index; EListError "List index out of bounds (%d)" outside 0..Count()-1.
  TTreeNode* Item(int32_t Index) const;
  /// Frees every node.
  void Clear() noexcept { FNodes.clear(); }

 private:
  std::vector<std::unique_ptr<TTreeNode>> FNodes;
};

}  // namespace rulecraft
