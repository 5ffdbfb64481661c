#pragma once
#include <string_view>

namespace veldrano {

// What a user loses when a card's property has no place among the eleven fields, in
// Spanish ("notas" for NOTE, "cumpleaños" for BDAY); the property's own name for one
// without a Spanish name, and an empty view for what the writing program keeps for itself
// (VERSION, UID, REV, labels of groups).
std::string_view LostNameOfProperty(std::string_view name);

// The name of a second value of a property that fills a field ("otros teléfonos" for TEL);
// empty for the name's properties.
std::string_view LostNameOfRepeat(std::string_view name);

} // namespace veldrano
