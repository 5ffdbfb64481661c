#pragma once
#include "model/NameCollation.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The name order of many names at once: order[i] is the index of the name that goes i-th,
// equal names in the order given. Each name's first level is read from the collation's table
// into a key of 32 ranks, keys are built and sorted on two threads, and the collator is asked
// only between names whose whole first level is equal and that are not the same bytes, and
// for names the table leaves out. With `unlessSorted`, an empty order when the names already
// are in name order.
std::vector<uint32_t> NameOrder(const NameCollation& collation,
                                std::span<const std::string_view> names, bool unlessSorted = false);
