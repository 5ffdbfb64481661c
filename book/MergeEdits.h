#pragma once
#include "book/BookStore.h"

#include <vector>

namespace veldrano {

// A book edited in two places since both read `base`: `ours` (the window's unsaved edits)
// and `theirs` (the file, rewritten by a sync). Contacts have no identity of their own, so
// an edit is what it looks like: the contacts of `base` that `ours` no longer holds are taken
// out of `theirs` (when `theirs` still holds them unchanged), and those `ours` added are put
// in. Nothing either side added or kept is lost: a contact both sides changed is there twice,
// each side's version once, for the user to choose. `theirs`'s order, then ours' additions.
std::vector<ContactRecord> MergeEdits(const BookStore& base, const BookStore& ours,
                                      const BookStore& theirs);

} // namespace veldrano
