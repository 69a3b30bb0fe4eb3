// The object model: class information and the registry, counted handles, components with owners and free
// notification.
#include <gtest/gtest.h>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

using namespace rulecraft;

namespace {

class TCounted : public TInterfacedObject {
  RC_CLASS(TCounted, TInterfacedObject)
 public:
  explicit TCounted(int* Deaths = nullptr) : FDeaths(Deaths) {}
  ~TCounted() override {
    if (FDeaths) ++*FDeaths;
  }

 private:
  int* FDeaths;
};

class TDerivedCounted final : public TCounted {
  RC_CLASS(TDerivedCounted, TCounted)
 public:
  using TCounted::TCounted;
};

class TWatcher : public TComponent {
  RC_CLASS(TWatcher, TComponent)
 public:
  using TComponent::TComponent;
  std::vector<TComponent*> Removed;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) Removed.push_back(AComponent);
  }
};

}  // namespace

TEST(ClassInfo, NamesAncestryAndRegistry) {
  TDerivedCounted Object;
  EXPECT_EQ(Object.ClassName(), "TDerivedCounted");
  EXPECT_TRUE(Object.InheritsFrom(TCounted::StaticClass()));
  EXPECT_TRUE(Object.InheritsFrom(TPersistent::StaticClass()));
  EXPECT_FALSE(Object.InheritsFrom(TComponent::StaticClass()));
  EXPECT_EQ(GetClass("TDerivedCounted"), nullptr);
  RegisterClass(TDerivedCounted::StaticClass());
  EXPECT_EQ(FindClass("tderivedcounted"), TDerivedCounted::StaticClass());
  TObject* Created = FindClass("TDerivedCounted")->Create(nullptr);
  ASSERT_NE(Created, nullptr);
  EXPECT_EQ(Created->ClassName(), "TDerivedCounted");
  delete Created;
  UnRegisterClass(TDerivedCounted::StaticClass());
  try {
    FindClass("TDerivedCounted");
    FAIL();
  } catch (const EClassNotFound& E) {
    EXPECT_EQ(E.Message(), "Class TDerivedCounted not found");
  }
  // An abstract class has no way to be created.
  EXPECT_EQ(ICloneable::StaticClass()->Create(nullptr), nullptr);
}

TEST(Persistent, DefaultAssignRefuses) {
  TPersistent A, B;
  try {
    A.Assign(&B);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Cannot assign a TPersistent to a TPersistent");
  }
  EXPECT_THROW(A.Assign(nullptr), EConvertError);
}

TEST(Ref, CountsSharesAndFrees) {
  int Deaths = 0;
  {
    TRef<TCounted> A = MakeRef<TCounted>(&Deaths);
    EXPECT_EQ(A->RefCount(), 1);
    TRef<TCounted> B = A;
    EXPECT_EQ(A->RefCount(), 2);
    TRef<TInterfacedObject> Base = B;  // conversion to a base handle shares the object
    EXPECT_EQ(A->RefCount(), 3);
    TRef<TCounted> Moved = std::move(B);
    EXPECT_FALSE(B);
    EXPECT_EQ(A->RefCount(), 3);
    EXPECT_TRUE(Base == A);
    TRef<TCounted>& Alias = A;
    A = Alias;  // self-assignment keeps the object
    EXPECT_EQ(Moved->RefCount(), 3);
    EXPECT_EQ(DynamicRefCast<TDerivedCounted>(A), nullptr);
  }
  EXPECT_EQ(Deaths, 1);
  TRef<TCounted> Derived = MakeRef<TDerivedCounted>(&Deaths);
  EXPECT_TRUE(DynamicRefCast<TDerivedCounted>(Derived));
  Derived = nullptr;
  EXPECT_EQ(Deaths, 2);
}

TEST(Component, OwnerFreesOwnedAndWatchersAreTold) {
  auto* Owner = new TWatcher(nullptr);
  auto* Child = new TWatcher(Owner);
  auto* Other = new TWatcher(Owner);
  EXPECT_EQ(Owner->ComponentCount(), 2);
  EXPECT_EQ(Child->GetOwner(), Owner);
  TWatcher Observer(nullptr);
  Child->FreeNotification(&Observer);
  delete Child;  // removes itself from its owner and tells the observer
  EXPECT_EQ(Owner->ComponentCount(), 1);
  ASSERT_EQ(Observer.Removed.size(), 1u);
  EXPECT_EQ(Observer.Removed[0], Child);
  EXPECT_EQ(Owner->GetComponent(0), Other);
  EXPECT_THROW(Owner->GetComponent(1), EListError);

  // The link is mutual: a watcher that goes first is forgotten by what it watched.
  auto* ShortLived = new TWatcher(nullptr);
  Other->FreeNotification(ShortLived);
  delete ShortLived;
  Other->FreeNotification(&Observer);
  Observer.Removed.clear();
  delete Owner;  // frees Other as well, which tells the observer
  ASSERT_EQ(Observer.Removed.size(), 1u);
  EXPECT_EQ(Observer.Removed[0], Other);
}

TEST(Component, FreeComponentAndRemovedNotification) {
  TWatcher Owner(nullptr);
  auto* Child = new TWatcher(&Owner);
  TWatcher Observer(nullptr);
  Child->FreeNotification(&Observer);
  Child->RemoveFreeNotification(&Observer);
  Owner.FreeComponent(Child);
  EXPECT_EQ(Owner.ComponentCount(), 0);
  EXPECT_TRUE(Observer.Removed.empty());
}

namespace {

TEST(InterfacedObject, ImmortalObjectsKeepTheirCountAndAreNeverFreed) {
  int Deaths = 0;
  TCounted Shared(&Deaths);  // not on the heap: nothing may ever delete it
  Shared.MakeImmortal();
  {
    TRef<TCounted> A(&Shared);
    TRef<TCounted> B = A;
    EXPECT_EQ(Shared.RefCount(), TInterfacedObject::ImmortalCount);
  }
  EXPECT_EQ(Shared.RefCount(), TInterfacedObject::ImmortalCount);
  EXPECT_EQ(Deaths, 0);
}

}  // namespace
