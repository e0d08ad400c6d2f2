// NSNumber: an immutable NumberValue. Every accessor answers for every kind (see NumberValue).
#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/NumberValue.h"

namespace qv {
namespace foundation {
namespace {

struct NumberState {
  NumberValue value;
};

NumberValue& valueOf(id number) {
  return stateOf<NumberState>(number).value;
}

// Factories with the exact parameter types of the platform's selectors.
NumberValue fromBOOL(BOOL value) {
  return NumberValue::ofBool(value != NO);
}
NumberValue fromInteger(long value) {
  return NumberValue::ofLongLong(value);
}
NumberValue fromUnsignedInteger(unsigned long value) {
  return NumberValue::ofUnsignedLongLong(value);
}

template <typename T, NumberValue (*Factory)(T)>
id initWith(id self, SEL, T value) {
  valueOf(self) = Factory(value);
  return self;
}

template <typename T, NumberValue (*Factory)(T)>
id numberWith(id cls, SEL, T value) {
  return autorelease(initWith<T, Factory>(send<id>(cls, "alloc"_sel), nullptr, value));
}

template <typename T>
T valueAs(id self, SEL) {
  return valueOf(self).as<T>();
}

BOOL boolValue(id self, SEL) {
  return valueOf(self).as<bool>() ? YES : NO;
}

id stringValue(id self, SEL) {
  return autoreleasedString(valueOf(self).text());
}
const char* objCType(id self, SEL) {
  return valueOf(self).objCType();
}
NSUInteger hash(id self, SEL) {
  return valueOf(self).hash();
}
long compare(id self, SEL selector, id other) {
  if (!isKindOf(other, numberClass())) {
    raise("NSInvalidArgumentException",
          methodName(self, selector) + ": " + (other == nil ? "nil argument" : "not a number"));
  }
  return valueOf(self).compare(valueOf(other));
}

BOOL isEqualToNumber(id self, SEL, id other) {
  return self == other ||
         (isKindOf(other, numberClass()) && valueOf(self).compare(valueOf(other)) == 0);
}

Class makeNumberClass() {
  return addValueMethods(
             ClassBuilder("NSNumber", NSObjectClass())
                 .state<NumberState>("_value")
                 .classMethod("numberWithBool:", &numberWith<BOOL, &fromBOOL>)
                 .classMethod("numberWithChar:", &numberWith<char, &NumberValue::ofChar>)
                 .classMethod("numberWithInt:", &numberWith<int, &NumberValue::ofInt>)
                 .classMethod("numberWithInteger:", &numberWith<long, &fromInteger>)
                 .classMethod("numberWithLongLong:",
                              &numberWith<long long, &NumberValue::ofLongLong>)
                 .classMethod("numberWithUnsignedInteger:",
                              &numberWith<unsigned long, &fromUnsignedInteger>)
                 .classMethod("numberWithUnsignedLongLong:",
                              &numberWith<unsigned long long, &NumberValue::ofUnsignedLongLong>)
                 .classMethod("numberWithFloat:", &numberWith<float, &NumberValue::ofFloat>)
                 .classMethod("numberWithDouble:", &numberWith<double, &NumberValue::ofDouble>)
                 .method("initWithBool:", &initWith<BOOL, &fromBOOL>)
                 .method("initWithChar:", &initWith<char, &NumberValue::ofChar>)
                 .method("initWithInt:", &initWith<int, &NumberValue::ofInt>)
                 .method("initWithInteger:", &initWith<long, &fromInteger>)
                 .method("initWithLongLong:", &initWith<long long, &NumberValue::ofLongLong>)
                 .method("initWithUnsignedInteger:", &initWith<unsigned long, &fromUnsignedInteger>)
                 .method("initWithUnsignedLongLong:",
                         &initWith<unsigned long long, &NumberValue::ofUnsignedLongLong>)
                 .method("initWithFloat:", &initWith<float, &NumberValue::ofFloat>)
                 .method("initWithDouble:", &initWith<double, &NumberValue::ofDouble>)
                 .method("boolValue", &boolValue)
                 .method("charValue", &valueAs<char>)
                 .method("intValue", &valueAs<int>)
                 .method("unsignedIntValue", &valueAs<unsigned int>)
                 .method("integerValue", &valueAs<long>)
                 .method("unsignedIntegerValue", &valueAs<unsigned long>)
                 .method("longLongValue", &valueAs<long long>)
                 .method("unsignedLongLongValue", &valueAs<unsigned long long>)
                 .method("floatValue", &valueAs<float>)
                 .method("doubleValue", &valueAs<double>)
                 .method("stringValue", &stringValue)
                 .method("objCType", &objCType)
                 .method("compare:", &compare),
             "isEqualToNumber:", &isEqualToNumber, &hash, &stringValue)
      .registerClass();
}

Ref<> newNumber(const NumberValue& value) {
  id number = send<id>(numberClass(), "alloc"_sel);
  valueOf(number) = value;
  return adopt(number);
}

}  // namespace

Class numberClass() {
  static const Class cls = makeNumberClass();
  return cls;
}

const NumberValue& numberValue(id number) {
  return valueOf(number);
}

}  // namespace foundation

using foundation::NumberValue;

Ref<> makeNumber(bool value) {
  return foundation::newNumber(NumberValue::ofBool(value));
}
Ref<> makeNumber(int value) {
  return foundation::newNumber(NumberValue::ofInt(value));
}
Ref<> makeNumber(long value) {
  return foundation::newNumber(NumberValue::ofLongLong(value));
}
Ref<> makeNumber(long long value) {
  return foundation::newNumber(NumberValue::ofLongLong(value));
}
Ref<> makeNumber(unsigned long value) {
  return foundation::newNumber(NumberValue::ofUnsignedLongLong(value));
}
Ref<> makeNumber(unsigned long long value) {
  return foundation::newNumber(NumberValue::ofUnsignedLongLong(value));
}
Ref<> makeNumber(float value) {
  return foundation::newNumber(NumberValue::ofFloat(value));
}
Ref<> makeNumber(double value) {
  return foundation::newNumber(NumberValue::ofDouble(value));
}

}  // namespace qv
