# Cross build of the tweak for iOS, from Debian's clang-14 and lld alone: libc++ 14's headers
# with the project's __config_site, the Darwin C headers of the zig compiler package
# (device/sysroot, installed by npm), and .tbd stubs of the system libraries in place of an SDK.
# QUORVANE_IOS_VERSION is the oldest system the library runs on (7.0 or 8.0);
# QUORVANE_DEVICE_ARCH the slice built (arm64, or armv7 in ARM mode, through the rewrite of
# device/armv7/compile.py).
set(CMAKE_SYSTEM_NAME Darwin)
set(QUORVANE_DEVICE ON)
set(QUORVANE_IOS_VERSION "8.0" CACHE STRING "The oldest iOS version the library runs on")
set(QUORVANE_DEVICE_ARCH "arm64" CACHE STRING "The slice built: arm64 or armv7")
set_property(CACHE QUORVANE_DEVICE_ARCH PROPERTY STRINGS arm64 armv7)
set(CMAKE_SYSTEM_PROCESSOR ${QUORVANE_DEVICE_ARCH})

set(CMAKE_C_COMPILER /usr/bin/clang-14)
set(CMAKE_CXX_COMPILER /usr/bin/clang++-14)
set(CMAKE_OBJCXX_COMPILER /usr/bin/clang++-14)
foreach(language C CXX OBJCXX)
  set(CMAKE_${language}_COMPILER_TARGET ${QUORVANE_DEVICE_ARCH}-apple-ios${QUORVANE_IOS_VERSION})
endforeach()
if(QUORVANE_DEVICE_ARCH STREQUAL "armv7")
  # ARM mode: the old linker sets the Thumb bit of a Thumb function's pointer twice.
  foreach(language C CXX OBJCXX)
    set(CMAKE_${language}_FLAGS_INIT "-marm")
  endforeach()
endif()
# No SDK: nothing of the build machine's own system may be found.
set(CMAKE_OSX_SYSROOT "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_AR /usr/bin/llvm-ar-14)
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-14)
set(CMAKE_INSTALL_NAME_TOOL /usr/bin/llvm-install-name-tool-14)
