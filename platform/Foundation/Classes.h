// Foundation's runtime classes, registered on first use (and at load, so that lookups by name
// find them), and what the classes share among themselves.
#pragma once

#include <objc/runtime.h>

#include <string>

#include "platform/objc/Object.h"

namespace qv::foundation {

class NumberValue;

Class stringClass();
Class numberClass();
Class arrayClass();
Class mutableArrayClass();
Class dictionaryClass();
Class mutableDictionaryClass();
Class dataClass();
Class dateClass();
Class errorClass();

// The text behind an NSString, without a copy.
const std::string& stringText(id string);

// The value behind an NSNumber.
const NumberValue& numberValue(id number);

// A new autoreleased string of valid UTF-8.
id autoreleasedString(std::string text);

// Descriptions built without messages, so that describing Foundation's values needs no
// autorelease pool. A collection at `level` starts with that level's indentation.
std::string arrayDescription(id array, int level);
std::string dictionaryDescription(id dictionary, int level);
std::string dataDescription(id data);
std::string dateDescription(id date);
std::string indentation(int level);

// How an object reads inside a collection's description: nested collections indented by
// `level`, strings quoted where the old property-list syntax needs quotes.
std::string nestedDescription(id object, int level);

// -[NSObject description] and +[NSObject description], which Foundation gives the root class.
void addRootDescriptions();

// An immutable object's copyWithZone:: the object itself, retained.
id copyByRetaining(id self, SEL, void*);

// What the immutable value classes answer alike: isEqual: and their own test (such as
// isEqualToDate:) by one function, their hash and description, and copies by retaining.
template <typename Equal, typename Hash, typename Describe>
ClassBuilder& addValueMethods(ClassBuilder& builder, const char* equalitySelector, Equal* equal,
                              Hash* hash, Describe* describe) {
  return builder.method("isEqual:", equal)
      .method(equalitySelector, equal)
      .method("hash", hash)
      .method("description", describe)
      .method("copyWithZone:", &copyByRetaining);
}

}  // namespace qv::foundation
