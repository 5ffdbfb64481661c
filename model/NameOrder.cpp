#include "model/NameOrder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

namespace {

using Names = std::span<const std::string_view>;

struct Item {
    uint64_t word[4]; // the first 32 ranks of the name's first level
    uint64_t hash;    // of the name's bytes: equal names end side by side
    uint32_t index;
    uint32_t kind; // kComplete, kLong (more than 32 ranks) or kSlow (outside the table)
};
constexpr uint32_t kComplete = 0, kLong = 1, kSlow = 2;

bool SameWords(const Item& a, const Item& b) {
    return a.word[0] == b.word[0] && a.word[1] == b.word[1] && a.word[2] == b.word[2] &&
           a.word[3] == b.word[3];
}

bool KeyLess(const Item& a, const Item& b) {
    for (int w = 0; w < 4; ++w)
        if (a.word[w] != b.word[w])
            return a.word[w] < b.word[w];
    if (a.hash != b.hash)
        return a.hash < b.hash;
    return a.index < b.index;
}

// Splits [0, count) into parts for threads; one part for a small book, where a thread would
// cost more than it saves.
std::vector<std::pair<size_t, size_t>> Parts(size_t count) {
    constexpr size_t kSplitFrom = 20000;
    const size_t parts = count < kSplitFrom ? 1 : 2;
    std::vector<std::pair<size_t, size_t>> out;
    for (size_t p = 0; p < parts; ++p)
        out.emplace_back(count * p / parts, count * (p + 1) / parts);
    return out;
}

void InParallel(const std::vector<std::pair<size_t, size_t>>& parts,
                const std::function<void(size_t, size_t)>& work) {
    std::vector<std::thread> others;
    for (size_t p = 1; p < parts.size(); ++p)
        others.emplace_back(work, parts[p].first, parts[p].second);
    work(parts[0].first, parts[0].second);
    for (std::thread& t : others)
        t.join();
}

void KeyRange(const PrimaryRanks& table, Names names, std::vector<Item>& items, size_t from,
              size_t to) {
    for (size_t i = from; i < to; ++i) {
        const PrimaryKey key = KeyOf(table, names[i]);
        Item& item = items[i];
        std::copy(std::begin(key.word), std::end(key.word), item.word);
        item.hash = std::hash<std::string_view>{}(names[i]);
        item.index = uint32_t(i);
        item.kind = !key.fast ? kSlow : key.complete() ? kComplete : kLong;
    }
}

// a <= b in name order, from their keys where they decide.
bool InOrder(const NameCollation& collation, Names names, const Item& a, const Item& b) {
    if (a.kind != kSlow && b.kind != kSlow && !SameWords(a, b))
        return KeyLess(a, b);
    if (a.kind == kComplete && b.kind == kComplete && a.hash == b.hash &&
        names[a.index] == names[b.index])
        return true;
    return collation.compare(names[a.index], names[b.index]) <= 0;
}

// Items whose 32 ranks are equal: already in order when they are one name (by hash and index,
// confirmed byte by byte), else put in order by the whole comparison, stably.
void OrderGroup(const NameCollation& collation, Names names, Item* first, Item* last) {
    bool oneName = std::all_of(first, last, [](const Item& i) { return i.kind == kComplete; });
    for (Item* i = first + 1; oneName && i != last; ++i)
        oneName = i->hash == first->hash && names[i->index] == names[first->index];
    if (oneName)
        return;
    std::sort(first, last, [](const Item& a, const Item& b) { return a.index < b.index; });
    std::stable_sort(first, last, [&](const Item& a, const Item& b) {
        return collation.compare(names[a.index], names[b.index]) < 0;
    });
}

// The names the table leaves out, in name order by the collator's sort keys, put among the
// others: each found by halving when they are few, else by one merge.
std::vector<uint32_t> WithSlow(const NameCollation& collation, Names names,
                               std::vector<uint32_t> fast, std::vector<uint32_t> slow) {
    if (slow.empty())
        return fast;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(slow.size());
    for (uint32_t i : slow)
        keys.push_back(collation.key(names[i]));
    std::vector<uint32_t> byKey(slow.size());
    for (uint32_t i = 0; i < byKey.size(); ++i)
        byKey[i] = i;
    // Equal keys are not always equal names: the toolkit puts an empty name before one the
    // collation ignores altogether, so the comparison has the last word there.
    std::stable_sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) {
        const int c = keys[a].compare(keys[b]);
        if (c != 0 || names[slow[a]] == names[slow[b]])
            return c < 0;
        return collation.compare(names[slow[a]], names[slow[b]]) < 0;
    });
    for (uint32_t& i : byKey)
        i = slow[i];
    auto before = [&](uint32_t a, uint32_t b) {
        const int c = collation.compare(names[a], names[b]);
        return c < 0 || (c == 0 && a < b);
    };
    std::vector<uint32_t> order;
    order.reserve(fast.size() + slow.size());
    if (double(slow.size()) * std::log2(double(fast.size()) + 2) > double(fast.size())) {
        std::merge(fast.begin(), fast.end(), byKey.begin(), byKey.end(), std::back_inserter(order),
                   before);
        return order;
    }
    auto at = fast.begin();
    for (uint32_t s : byKey) {
        const auto to =
            std::partition_point(at, fast.end(), [&](uint32_t f) { return before(f, s); });
        order.insert(order.end(), at, to);
        order.push_back(s);
        at = to;
    }
    order.insert(order.end(), at, fast.end());
    return order;
}

} // namespace

std::vector<uint32_t> NameOrder(const NameCollation& collation, Names names, bool unlessSorted) {
    const size_t count = names.size();
    const auto parts = Parts(count);
    std::vector<Item> items(count);
    InParallel(parts, [&](size_t from, size_t to) {
        KeyRange(collation.ranks(), names, items, from, to);
    });
    if (unlessSorted) {
        size_t i = 1;
        while (i < count && InOrder(collation, names, items[i - 1], items[i]))
            ++i;
        if (i >= count)
            return {};
    }
    std::vector<uint32_t> slow;
    for (const Item& item : items)
        if (item.kind == kSlow)
            slow.push_back(item.index);
    std::vector<size_t> ends(parts.size());
    InParallel(parts, [&](size_t from, size_t to) {
        const auto end =
            std::remove_if(items.begin() + std::ptrdiff_t(from), items.begin() + std::ptrdiff_t(to),
                           [](const Item& i) { return i.kind == kSlow; });
        std::sort(items.begin() + std::ptrdiff_t(from), end, KeyLess);
        ends[from == 0 ? 0 : 1] = size_t(end - items.begin());
    });
    std::vector<Item> sorted(count - slow.size());
    if (parts.size() == 1)
        std::copy(items.begin(), items.begin() + std::ptrdiff_t(ends[0]), sorted.begin());
    else
        std::merge(items.begin(), items.begin() + std::ptrdiff_t(ends[0]),
                   items.begin() + std::ptrdiff_t(parts[1].first),
                   items.begin() + std::ptrdiff_t(ends[1]), sorted.begin(), KeyLess);
    items = {};
    for (size_t i = 0, j; i < sorted.size(); i = j) {
        for (j = i + 1; j < sorted.size() && SameWords(sorted[i], sorted[j]);)
            ++j;
        if (j - i > 1)
            OrderGroup(collation, names, sorted.data() + i, sorted.data() + j);
    }
    std::vector<uint32_t> fast(sorted.size());
    for (size_t i = 0; i < sorted.size(); ++i)
        fast[i] = sorted[i].index;
    return WithSlow(collation, names, std::move(fast), std::move(slow));
}
