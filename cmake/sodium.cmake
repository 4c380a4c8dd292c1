# libsodium, the one cryptographic library of both builds, as the target
# sodium. The 64-bit Linux builds take Debian's libsodium-dev. Debian has none
# for MinGW-w64 nor for 32-bit Linux without multiarch, so those builds take
# Debian's own source package, built into a static library by
# build-libsodium.sh the first time a build is configured and kept in
# NORRIK_SODIUM_ROOT for every later build of the same host.
if(WIN32 OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  if(DEFINED ENV{NORRIK_BUILD})
    set(default_root $ENV{NORRIK_BUILD}/sodium)
  else()
    set(default_root ${PROJECT_SOURCE_DIR}/build/sodium)
  endif()
  set(NORRIK_SODIUM_ROOT ${default_root} CACHE PATH "Where libsodium is built from source, once per host")
  if(WIN32)
    set(host ${NORRIK_MINGW_PREFIX})
    set(cc ${CMAKE_C_COMPILER})
    set(cflags "")
  else()
    set(host i686-linux-gnu)
    set(cc ${CMAKE_C_COMPILER})
    set(cflags -m32)
  endif()
  set(prefix ${NORRIK_SODIUM_ROOT}/${host})
  if(NOT EXISTS ${prefix}/built)
    set(log ${NORRIK_SODIUM_ROOT}/${host}.log)
    file(MAKE_DIRECTORY ${NORRIK_SODIUM_ROOT})
    message(NOTICE "Building libsodium for ${host} from Debian's source package (once), in ${NORRIK_SODIUM_ROOT}")
    execute_process(
      COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/build-libsodium.sh ${NORRIK_SODIUM_ROOT} ${host} ${cc} "${cflags}"
      OUTPUT_FILE ${log} ERROR_FILE ${log}
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "libsodium for ${host} did not build: see ${log}")
    endif()
  endif()
  add_library(sodium STATIC IMPORTED)
  set_target_properties(sodium PROPERTIES IMPORTED_LOCATION ${prefix}/lib/libsodium.a
                        INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
  if(WIN32)
    # A static library: no dllimport in its header. Its random bytes come
    # from RtlGenRandom, in advapi32.
    set_target_properties(sodium PROPERTIES INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
                          INTERFACE_LINK_LIBRARIES advapi32)
  endif()
else()
  find_path(NORRIK_SODIUM_INCLUDE sodium.h)
  find_library(NORRIK_SODIUM_LIBRARY sodium)
  if(NOT NORRIK_SODIUM_INCLUDE OR NOT NORRIK_SODIUM_LIBRARY)
    message(FATAL_ERROR "libsodium not found: install Debian's libsodium-dev (scripts/test does)")
  endif()
  add_library(sodium UNKNOWN IMPORTED)
  set_target_properties(sodium PROPERTIES IMPORTED_LOCATION ${NORRIK_SODIUM_LIBRARY}
                        INTERFACE_INCLUDE_DIRECTORIES ${NORRIK_SODIUM_INCLUDE})
endif()
