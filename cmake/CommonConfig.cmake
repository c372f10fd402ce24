# Shared compile settings for every target of ours, carried by one INTERFACE target.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(qb_common INTERFACE)
target_compile_features(qb_common INTERFACE cxx_std_20)
target_compile_options(qb_common INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(qb_common INTERFACE
    QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
target_include_directories(qb_common INTERFACE "${PROJECT_SOURCE_DIR}/src")

# QB_SANITIZE: "address,undefined" or "thread"; applied to everything built, Qt excepted.
set(QB_SANITIZE "" CACHE STRING "Sanitizers to build with (e.g. address,undefined or thread)")
if(QB_SANITIZE)
    add_compile_options(-fsanitize=${QB_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${QB_SANITIZE})
    if(QB_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

if(QB_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()
