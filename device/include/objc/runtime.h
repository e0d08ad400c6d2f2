// The Apple Objective-C runtime functions the tweak and the device layer call, with the
// signatures libobjc.A.dylib exports on iOS 7 and later.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <objc/objc.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct objc_method* Method;
typedef struct objc_ivar* Ivar;

Class objc_getClass(const char* name);
Class objc_lookUpClass(const char* name);
Class object_getClass(id object);

const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
BOOL class_isMetaClass(Class cls);
BOOL class_respondsToSelector(Class cls, SEL selector);
Method class_getInstanceMethod(Class cls, SEL selector);
BOOL class_addMethod(Class cls, SEL selector, IMP implementation, const char* types);
Ivar class_getInstanceVariable(Class cls, const char* name);

IMP method_getImplementation(Method method);
const char* method_getTypeEncoding(Method method);
unsigned int method_getNumberOfArguments(Method method);

ptrdiff_t ivar_getOffset(Ivar ivar);
id object_getIvar(id object, Ivar ivar);
void object_setIvar(id object, Ivar ivar, id value);

#ifdef __cplusplus
}
#endif
