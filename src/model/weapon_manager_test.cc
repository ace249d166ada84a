#include "model/weapon_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace gsadmin {
namespace {

std::vector<uint8_t> idsOf(const WeaponManager& weapons) {
  std::vector<uint8_t> ids;
  for (const auto& weapon : weapons.all()) ids.push_back(weapon->id);
  return ids;
}

TEST(WeaponManagerTest, AddAndFind) {
  WeaponManager weapons;
  EXPECT_EQ(weapons.find(0), nullptr);

  weapons.add(0, "Fist");
  weapons.add(255, "Last");
  ASSERT_NE(weapons.find(0), nullptr);
  EXPECT_EQ(weapons.find(0)->name, "Fist");
  ASSERT_NE(weapons.find(255), nullptr);
  EXPECT_EQ(weapons.find(255)->name, "Last");
  EXPECT_EQ(weapons.find(1), nullptr);
}

TEST(WeaponManagerTest, KeysOutsideByteRangeFindNothing) {
  WeaponManager weapons;
  weapons.add(0, "Fist");
  weapons.add(255, "Last");
  EXPECT_EQ(weapons.find(256), nullptr);
  EXPECT_EQ(weapons.find(-1), nullptr);
  EXPECT_EQ(weapons.find(-256), nullptr);
  EXPECT_EQ(weapons.find(511), nullptr);
}

TEST(WeaponManagerTest, AddSameIdReplacesAndMovesLast) {
  WeaponManager weapons;
  weapons.add(1, "Old");
  weapons.add(2, "Other");
  weapons.add(1, std::nullopt);
  EXPECT_EQ(weapons.size(), 2u);
  EXPECT_EQ(idsOf(weapons), (std::vector<uint8_t>{2, 1}));
  ASSERT_NE(weapons.find(1), nullptr);
  EXPECT_FALSE(weapons.find(1)->name.has_value());  // none stays absent
}

TEST(WeaponManagerTest, Clear) {
  WeaponManager weapons;
  weapons.clear();
  EXPECT_EQ(weapons.size(), 0u);
  weapons.add(3, "Uzi");
  weapons.clear();
  EXPECT_EQ(weapons.size(), 0u);
  EXPECT_EQ(weapons.find(3), nullptr);
}

}  // namespace
}  // namespace gsadmin
