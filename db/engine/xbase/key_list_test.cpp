// The sorted entry store of a tag against a std::set under random inserts and erases.

#include "db/engine/xbase/key_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace ks::xbase {
namespace {

std::string Entry(uint32_t key, uint32_t recno) {
  std::string e = std::to_string(key % 500);
  e.resize(6, ' ');
  e.resize(10);
  KeyList::PutRecNo(reinterpret_cast<uint8_t*>(e.data()), 6, recno);
  return e.substr(0, 10);
}

TEST(KeyListTest, StaysSortedUnderRandomChanges) {
  KeyList list(6);
  std::set<std::string> model;
  std::mt19937 random(3);
  for (int i = 0; i < 60000; ++i) {
    const std::string e = Entry(random(), random() % 5000);
    const auto* bytes = reinterpret_cast<const uint8_t*>(e.data());
    const int action = int(random() % 6);
    if (action < 2) {
      list.Settle();
      EXPECT_EQ(list.Erase(bytes), model.erase(e) == 1);
    } else if (action < 4) {
      EXPECT_EQ(list.Insert(bytes), model.insert(e).second);
    } else if (model.insert(e).second) {
      list.Add(bytes);  // deferred; merged in bulk
    }
    if (i % 9000 == 0) list.Settle();
  }
  list.Settle();
  ASSERT_EQ(list.Count(), model.size());
  auto it = model.begin();
  for (KeyList::Pos p = list.Begin(); !list.IsEnd(p); p = list.Next(p), ++it) {
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(list.At(p)), 10), *it);
  }
  auto back = model.rbegin();
  for (KeyList::Pos p = list.Last(); !list.IsEnd(p); p = list.Prev(p), ++back) {
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(list.At(p)), 10), *back);
    if (p == list.Begin()) break;
  }
  const std::string probe = "42    ";
  const KeyList::Pos p = list.LowerBound(reinterpret_cast<const uint8_t*>(probe.data()), 6);
  auto expected = model.lower_bound(probe);
  if (expected == model.end()) {
    EXPECT_TRUE(list.IsEnd(p));
  } else {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.At(p)), 10), *expected);
  }
}


// Every entry of the list in order, as text.
std::vector<std::string> Contents(const KeyList& list) {
  std::vector<std::string> out;
  for (KeyList::Pos p = list.Begin(); !list.IsEnd(p); p = list.Next(p))
    out.emplace_back(reinterpret_cast<const char*>(list.At(p)), list.EntrySize());
  return out;
}

// Deferred entries that arrive in order, after the present ones or among them, with
// entries already there, and single inserts into the blocks made from them.
TEST(KeyListTest, OrderedBatchesMergeLikeAnyOther) {
  KeyList list(6);
  std::set<std::string> model;
  auto add = [&](uint32_t key, uint32_t recno) {
    const std::string e = Entry(key, recno);
    list.Add(reinterpret_cast<const uint8_t*>(e.data()));
    model.insert(e);
  };
  for (uint32_t r = 1; r <= 3000; ++r) add(7, r);  // one key, growing record numbers
  list.Settle();
  for (uint32_t r = 3001; r <= 6000; ++r) add(9, r);  // after everything present
  list.Settle();
  for (uint32_t r = 1; r <= 3000; ++r) add(8, r * 2);  // in order, between the two runs
  list.Settle();
  for (uint32_t r = 2000; r <= 2200; ++r) add(7, r);  // in order, every one already there
  list.Settle();
  EXPECT_EQ(Contents(list), std::vector<std::string>(model.begin(), model.end()));
  std::mt19937 random(5);
  for (int i = 0; i < 5000; ++i) {
    const std::string e = Entry(7 + random() % 3, random() % 7000);
    EXPECT_EQ(list.Insert(reinterpret_cast<const uint8_t*>(e.data())), model.insert(e).second);
  }
  EXPECT_EQ(list.Count(), model.size());
  EXPECT_EQ(Contents(list), std::vector<std::string>(model.begin(), model.end()));
}

// The order of a batch, whether its varying bytes are few (counted), many (compared) or
// lie past the first sixteen after the shared prefix.
TEST(KeyListTest, SortedOrderOfBatchesOfAnyShape) {
  std::mt19937 random(9);
  const auto digit = [&] { return char('0' + random() % 10); };
  const std::vector<std::function<std::string()>> shapes = {
      [&] { return std::string(30, ' ') + digit() + digit() + std::string(7, 'x') + digit(); },  // few, then far
      [&] {
        std::string e(40, ' ');
        for (char& c : e) c = char(random() % 256);  // every byte varies
        return e;
      },
      [&] { return std::string(20, 'a') + digit() + std::string(18, 'b') + digit(); }};
  for (const auto& shape : shapes) {
    for (const size_t count : {size_t(300), size_t(5000)}) {
      std::vector<std::string> entries;
      std::string batch;
      for (size_t i = 0; i < count; ++i) {
        entries.push_back(shape());
        batch += entries.back();
      }
      std::vector<uint32_t> order;
      KeyList::SortedOrder(reinterpret_cast<const uint8_t*>(batch.data()), count, 40, order);
      std::vector<std::string> sorted;
      for (uint32_t i : order) sorted.push_back(entries[i]);
      std::sort(entries.begin(), entries.end());
      EXPECT_EQ(sorted, entries) << count;
    }
  }
}

}  // namespace
}  // namespace ks::xbase
