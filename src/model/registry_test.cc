#include "model/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gsadmin {
namespace {

struct Item {
  int key;
  std::string label;
};

std::vector<std::string> labels(const Registry<Item>& items) {
  std::vector<std::string> all;
  for (const auto& item : items.all()) all.push_back(item->label);
  return all;
}

TEST(RegistryTest, KeepsAdditionOrderAndReplacesByMovingToTheEnd) {
  Registry<Item> items;
  items.addOrReplace(std::make_unique<Item>(Item{1, "a"}), nullptr);
  Item& b = items.addOrReplace(std::make_unique<Item>(Item{2, "b"}), nullptr);
  items.addOrReplace(std::make_unique<Item>(Item{3, "c"}), nullptr);
  Item* found = items.findFirst([](const Item& item) { return item.key == 2; });
  EXPECT_EQ(found, &b);
  items.addOrReplace(std::make_unique<Item>(Item{2, "b2"}), found);
  EXPECT_EQ(labels(items), (std::vector<std::string>{"a", "c", "b2"}));
  EXPECT_EQ(items.findFirst([](const Item& item) { return item.key == 9; }), nullptr);
}

TEST(RegistryTest, EveryDestructionIsAnnouncedWhileTheRecordIsStillHeld) {
  Registry<Item> items;
  std::vector<std::string> forgotten;
  items.setForgetHook([&](const Item* item) {
    forgotten.push_back(item->label + "/" + std::to_string(items.size()));
  });
  Item& a = items.addOrReplace(std::make_unique<Item>(Item{1, "a"}), nullptr);
  items.addOrReplace(std::make_unique<Item>(Item{2, "b"}), nullptr);
  items.addOrReplace(std::make_unique<Item>(Item{1, "a2"}), &a);  // replace
  Item stranger{2, "b"};
  items.remove(stranger);  // not held: ignored, not announced
  items.remove(*items.findFirst([](const Item& item) { return item.key == 2; }));
  items.addOrReplace(std::make_unique<Item>(Item{3, "c"}), nullptr);
  items.clear();
  EXPECT_EQ(forgotten, (std::vector<std::string>{"a/2", "b/2", "a2/2", "c/2"}));
  EXPECT_EQ(items.size(), 0u);
}

}  // namespace
}  // namespace gsadmin
