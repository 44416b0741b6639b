#include "platform/library_loader.h"

#include <gtest/gtest.h>

#include "platform/temp_dir.h"

namespace fs = std::filesystem;

namespace tessel::platform {
namespace {

using AnswerFunction = int (*)();

class DlLibraryLoaderTest : public ::testing::Test {
protected:
    DlLibraryLoaderTest() {
        fs::create_directories(program_.path());
        fs::copy_file(TESSEL_TEST_LIBRARY, device_.path() / "Sys.DLL");
    }
    TempDir program_;
    TempDir device_;
    DlLibraryLoader loader_{{program_.path(), device_.path()}};
};

TEST_F(DlLibraryLoaderTest, FindsTheFileIgnoringCaseAndResolvesEntryPoints) {
    std::unique_ptr<Library> library = loader_.load("sys.dll");
    ASSERT_TRUE(library) << loader_.lastError();
    EXPECT_TRUE(loader_.lastError().empty());
    auto answer = reinterpret_cast<AnswerFunction>(library->symbol("testLibraryAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(library->symbol("noSuchEntry"), nullptr);
}

TEST_F(DlLibraryLoaderTest, TheFirstFolderHoldingTheNameWins) {
    program_.write("SYS.dll", "not a shared object");
    EXPECT_EQ(loader_.load("Sys.dll"), nullptr);
    EXPECT_FALSE(loader_.lastError().empty());  // the loader's own reason
    EXPECT_EQ(loader_.lastError().find("not found"), std::string::npos);
}

TEST_F(DlLibraryLoaderTest, ReportsNamesItCannotFindOrThatAreNotFileNames) {
    EXPECT_EQ(loader_.load("Other.dll"), nullptr);
    EXPECT_NE(loader_.lastError().find("not found"), std::string::npos);
    for (const char* name : {"", "..", "../Sys.DLL", "x\\Sys.DLL"}) {
        EXPECT_EQ(loader_.load(name), nullptr) << name;
        EXPECT_FALSE(loader_.lastError().empty()) << name;
    }
    fs::create_directory(program_.path() / "Folder.dll");
    EXPECT_EQ(loader_.load("folder.dll"), nullptr);
}

TEST(DlLibraryLoaderDeviceTest, LoadsDevicePathsIgnoringCaseInsideTheRootOnly) {
    TempDir root;
    TempDir outside;
    fs::create_directories(root.path() / "Windows");
    fs::copy_file(TESSEL_TEST_LIBRARY, root.path() / "Windows" / "K220CE_SYS.dll");
    fs::copy_file(TESSEL_TEST_LIBRARY, outside.path() / "Out.dll");
    fs::create_directory_symlink(outside.path(), root.path() / "Escape");
    DlLibraryLoader loader({}, DeviceFs(root.path()));

    std::unique_ptr<Library> library = loader.load("\\WINDOWS\\k220ce_sys.DLL");
    ASSERT_TRUE(library) << loader.lastError();
    EXPECT_NE(library->symbol("testLibraryAnswer"), nullptr);

    for (const char* name : {"\\Windows\\K230CE_SYS.dll", "\\Windows", "\\..\\Out.dll",
                             "\\Escape\\Out.dll"}) {
        EXPECT_EQ(loader.load(name), nullptr) << name;
        EXPECT_FALSE(loader.lastError().empty()) << name;
    }
    // Bare names still search the folders only, not the device root.
    EXPECT_EQ(loader.load("K220CE_SYS.dll"), nullptr);
}

TEST(DlLibraryLoaderDeviceTest, RefusesDevicePathsWithoutADeviceRoot) {
    DlLibraryLoader loader({fs::path(TESSEL_TEST_LIBRARY).parent_path()});
    EXPECT_EQ(loader.load("\\Windows\\K220CE_SYS.dll"), nullptr);
    EXPECT_FALSE(loader.lastError().empty());
}

int fakeEntry() { return 7; }

TEST(TableLibraryLoaderTest, LoadsTablesByNameIgnoringCase) {
    TableLibraryLoader loader;
    loader.add("Sys.dll", {{"fakeEntry", reinterpret_cast<void*>(&fakeEntry)}});
    std::unique_ptr<Library> library = loader.load("SYS.DLL");
    ASSERT_TRUE(library);
    EXPECT_EQ(reinterpret_cast<AnswerFunction>(library->symbol("fakeEntry"))(), 7);
    EXPECT_EQ(library->symbol("FakeEntry"), nullptr);  // entry points keep their case
    EXPECT_EQ(loader.load("Other.dll"), nullptr);
    EXPECT_FALSE(loader.lastError().empty());
}

}  // namespace
}  // namespace tessel::platform
