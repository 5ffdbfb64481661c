#include "book/MergeEdits.h"

#include <map>

namespace veldrano {

std::vector<ContactRecord> MergeEdits(const BookStore& base, const BookStore& ours,
                                      const BookStore& theirs) {
    // How many copies of each contact our edits took away (positive) or added (negative).
    std::map<ContactRecord, long> removed;
    for (size_t i = 0; i < base.size(); ++i)
        ++removed[base.record(i)];
    std::vector<ContactRecord> added;
    for (size_t i = 0; i < ours.size(); ++i) {
        ContactRecord r = ours.record(i);
        auto it = removed.find(r);
        if (it != removed.end() && it->second > 0)
            --it->second;
        else
            added.push_back(std::move(r));
    }
    std::vector<ContactRecord> merged;
    merged.reserve(theirs.size() + added.size());
    for (size_t i = 0; i < theirs.size(); ++i) {
        ContactRecord r = theirs.record(i);
        auto it = removed.find(r);
        if (it != removed.end() && it->second > 0)
            --it->second; // deleted or changed by our edits
        else
            merged.push_back(std::move(r));
    }
    for (ContactRecord& r : added)
        merged.push_back(std::move(r));
    return merged;
}

} // namespace veldrano
