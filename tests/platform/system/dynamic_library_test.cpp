// Loading a shared library by name and calling into it through a small integer handle.
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include "platform/status.h"

namespace {

using AddFunction = int (*)(int, int);

TEST(DynamicLibrary, LoadByNameAndCallThroughTheHandle) {
    // The test library sits in the program's folder, like a library shipped beside the program.
    const int handle = platform::library_open("tavo_testlib.so");
    ASSERT_GT(handle, 0) << platform::library_error_text();
    auto add = reinterpret_cast<AddFunction>(platform::library_symbol(handle, "testlib_add"));
    ASSERT_NE(add, nullptr) << platform::library_error_text();
    EXPECT_EQ(add(2, 40), 42);
    EXPECT_EQ(add(-7, 3), -4);

    EXPECT_EQ(platform::library_symbol(handle, "no_such_function"), nullptr);
    EXPECT_FALSE(platform::library_error_text().empty());

    // Loading again by path (stored with backslashes) gives another handle to the same code.
    const int second =
        platform::library_open(std::string(TAVO_TEST_OUTPUT_DIR) + "\\tavo_testlib.so");
    ASSERT_GT(second, 0) << platform::library_error_text();
    EXPECT_NE(second, handle);
    EXPECT_EQ(platform::library_symbol(second, "testlib_add"), reinterpret_cast<void*>(add));

    EXPECT_EQ(platform::library_close(handle), 0);
    EXPECT_EQ(platform::library_close(second), 0);
    // A closed handle is unknown from then on.
    EXPECT_EQ(platform::library_symbol(handle, "testlib_add"), nullptr);
    EXPECT_EQ(platform::library_close(handle), platform::kNotFound);
}

TEST(DynamicLibrary, UnknownHandlesAndMissingLibrariesFailCleanly) {
    for (int handle : {0, -1, 77777}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(platform::library_symbol(handle, "testlib_add"), nullptr);
        EXPECT_NE(platform::library_error_text().find("unknown library handle"), std::string::npos);
        EXPECT_EQ(platform::library_close(handle), platform::kNotFound);
    }
    EXPECT_EQ(platform::library_open("tavo_no_such_library.so"), 0);
    EXPECT_FALSE(platform::library_error_text().empty());
    EXPECT_EQ(platform::library_open(""), 0);
    EXPECT_EQ(platform::library_open("/nonexistent/lib.so"), 0);
}

}  // namespace
