# Native build: the logic on the fake platform, driven by GoogleTest.
find_package(GTest REQUIRED)
target_compile_options(tolvex_logic PRIVATE -Wall -Wextra)
add_library(tolvex_fake STATIC platform/fake/FakeOs.cpp platform/fake/FakeForm.cpp)
target_link_libraries(tolvex_fake PUBLIC tolvex_logic)
add_subdirectory(tests/host)
