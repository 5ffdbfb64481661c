#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The book named by what is left of the arguments once the toolkit took its own options (the
// program's name first), as an absolute path; an empty string when none is named. For an
// unknown option or more than one file, calls `misuse` with what was wrong (the program's
// usage follows) and returns nullopt.
std::optional<QString> BookToOpen(const QStringList& arguments, int (*misuse)(const char*));
