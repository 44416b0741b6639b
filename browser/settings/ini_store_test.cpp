#include "browser/settings/ini_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "browser/settings/text8.h"

namespace tessel::settings {
namespace {

namespace fs = std::filesystem;

const fs::path kTestData = TESSEL_SETTINGS_TESTDATA;

bool loadText(IniStore& store, std::string_view bytes, CaseMode mode = CaseMode::Folded) {
    return store.loadBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), mode);
}

std::u16string valueOf(IniStore& store, std::string_view section, std::string_view key) {
    std::u16string value = u"<missing>";
    store.getString(store.findSection(section), key, value);
    return value;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// The store's content, one line per section or entry, with every character outside printable
// ASCII shown as \xNN so that blanks kept inside names and values are visible.
std::string dump(const IniStore& store) {
    auto visible = [](std::u16string_view text) {
        std::string out;
        for (char16_t c : text) {
            if (c >= 32 && c < 127 && c != '\\') {
                out += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
                out += buf;
            }
        }
        return out;
    };
    std::string out;
    for (const IniSection* section : store.sections()) {
        out += "[" + visible(section->name()) + "]\n";
        for (const IniEntry* entry : section->entries()) {
            out += visible(entry->key()) + "=" + visible(entry->value()) + "\n";
        }
    }
    return out;
}

class TempDir {
  public:
    TempDir() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("ini_store_test_" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

TEST(IniStoreParse, HeaderAloneMakesOneEmptySection) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[General]"));
    EXPECT_FALSE(store.isEmpty());
    ASSERT_EQ(store.sections().size(), 1u);
    EXPECT_EQ(store.sections()[0]->name(), u"general");
    EXPECT_TRUE(store.sections()[0]->entries().empty());
}

TEST(IniStoreParse, NamesFoldAndBlanksTrimButValuesKeepCase) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[ GENERAL ]\r\n  HOMEURL  =  Http://Host/App \r\n"));
    EXPECT_EQ(valueOf(store, "general", "homeurl"), u"Http://Host/App");
    EXPECT_EQ(valueOf(store, "General", "homeUrl"), u"Http://Host/App");
}

TEST(IniStoreParse, ValueRunsToLineEndAndMayHoldEqualsAndBrackets) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[g]\nhomeUrl=http://h/p?a=1&b=[2]\nx=\ty z\t"));
    EXPECT_EQ(valueOf(store, "g", "homeUrl"), u"http://h/p?a=1&b=[2]");
    EXPECT_EQ(valueOf(store, "g", "x"), u"y z");  // last line without LF trimmed too
}

TEST(IniStoreParse, TextBeforeFirstHeaderIsIgnored) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "note\r\nkey=value\r\n[s]\r\nk=v\r\n"));
    ASSERT_EQ(store.sections().size(), 1u);
    EXPECT_EQ(dump(store), "[s]\nk=v\n");
}

TEST(IniStoreParse, LineWithoutEqualsSwallowsTheNextKey) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[s] tail\nk1=1\norphan\nk2=2\n=3\nk4=4"));
    EXPECT_EQ(dump(store), "[s]\ntail\\x0Ak1=1\norphan\\x0Ak2=2\n=3\\x0Ak4=4\n");
}

TEST(IniStoreParse, PendingKeyIsDroppedAtNextHeaderAndAtEnd) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[a]\nk=1\nno value\n[b]\nhalf"));
    EXPECT_EQ(dump(store), "[a]\nk=1\n[b]\n");
}

TEST(IniStoreParse, DuplicateSectionsAndKeysAreKeptAndWrittenBack) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[s]\nk=1\nk=2\n[S]\nk=3\n"));
    ASSERT_EQ(store.sections().size(), 2u);
    EXPECT_EQ(store.findSection("s"), store.sections()[0]);
    EXPECT_EQ(valueOf(store, "s", "k"), u"2");  // the last duplicate is the indexed one

    store.setString(store.findSection("s"), "k", u"9");
    EXPECT_EQ(store.text(), "\r\n[s]\r\nk=1\r\nk=9\r\n\r\n[s]\r\nk=3\r\n");
}

TEST(IniStoreParse, ByteE9RoundTrips) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[s]\nname=caf\xE9\n"));
    EXPECT_EQ(valueOf(store, "s", "name"), u"caf\u00E9");
    EXPECT_EQ(store.text(), "\r\n[s]\r\nname=caf\xE9\r\n");
}

TEST(IniStoreParse, ExactModeKeepsCase) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[General]\nHomeUrl=x\n", CaseMode::Exact));
    EXPECT_EQ(valueOf(store, "General", "HomeUrl"), u"x");
    EXPECT_EQ(store.findSection("general"), nullptr);
    EXPECT_EQ(valueOf(store, "General", "homeurl"), u"<missing>");
}

TEST(IniStoreLoad, FailuresLeaveOrClearTheStoreAsDocumented) {
    TempDir dir;
    IniStore store;
    ASSERT_TRUE(loadText(store, "[keep]\nk=v\n"));

    writeFile(dir.path() / "empty.txt", "");
    EXPECT_FALSE(store.load(dir.path() / "empty.txt"));
    EXPECT_FALSE(store.load(dir.path() / "missing.txt"));
    EXPECT_FALSE(store.load(dir.path()));  // a folder is not an INI file
    EXPECT_EQ(dump(store), "[keep]\nk=v\n");
    EXPECT_TRUE(store.lastError().empty());

    writeFile(dir.path() / "nothing.txt", "k=v\r\n");
    EXPECT_FALSE(store.load(dir.path() / "nothing.txt"));
    EXPECT_TRUE(store.isEmpty());
    EXPECT_EQ(store.lastError(), kIniEmptyError);

    writeFile(dir.path() / "good.txt", "[s]\n");
    EXPECT_TRUE(store.load(dir.path() / "good.txt"));
    EXPECT_EQ(store.path(), dir.path() / "good.txt");
    EXPECT_TRUE(store.lastError().empty());
}

TEST(IniStoreLoad, Utf16FileIsReadUpToItsFirstNul) {
    IniStore store;
    ASSERT_TRUE(store.load(kTestData / "utf16le.txt"));
    EXPECT_EQ(dump(store), readFile(kTestData / "utf16le.dump"));
}

TEST(IniStoreLoad, GoldenFileLoadsAndSaves) {
    TempDir dir;
    IniStore store;
    ASSERT_TRUE(store.load(kTestData / "quirks.txt"));
    EXPECT_EQ(dump(store), readFile(kTestData / "quirks.dump"));
    ASSERT_TRUE(store.save(dir.path() / "browserINI.txt"));
    EXPECT_EQ(readFile(dir.path() / "browserINI.txt"), readFile(kTestData / "quirks.saved"));
}

TEST(IniStoreValues, IntegersFollowAtoi) {
    IniStore store;
    ASSERT_TRUE(
        loadText(store, "[s]\na=12ab\nb=abc\nc=0x10\nd= +7\ne=99999999999\nf=-99999999999"));
    IniSection* s = store.findSection("s");
    int value = 0;
    const std::pair<const char*, int> expected[] = {{"a", 12}, {"b", 0},         {"c", 0},
                                                    {"d", 7},  {"e", INT32_MAX}, {"f", INT32_MIN}};
    for (auto [key, number] : expected) {
        EXPECT_TRUE(store.getInt(s, key, value)) << key;
        EXPECT_EQ(value, number) << key;
    }

    ASSERT_TRUE(store.setInt(s, "neg", -1));
    EXPECT_EQ(valueOf(store, "s", "neg"), u"-1");
    EXPECT_TRUE(store.getInt(s, "neg", value));
    EXPECT_EQ(value, -1);
}

TEST(IniStoreValues, MissesLeaveTheCallersVariable) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[s]\nk=1\n"));
    int number = 42;
    std::u16string text = u"kept";
    EXPECT_FALSE(store.getInt(store.findSection("s"), "other", number));
    EXPECT_FALSE(store.getInt(store.findSection("none"), "k", number));
    EXPECT_FALSE(store.getString(nullptr, "k", text));
    EXPECT_FALSE(store.setString(nullptr, "k", u"x"));
    EXPECT_EQ(number, 42);
    EXPECT_EQ(text, u"kept");
}

TEST(IniStoreValues, SetReplacesInPlaceAndAppendsNewKeys) {
    IniStore store;
    ASSERT_TRUE(loadText(store, "[general]\na=1\nb=2\n"));
    IniSection* general = store.addSection("GENERAL");
    EXPECT_EQ(general, store.sections()[0]);
    store.setString(general, "A", u"x");
    store.setInt(general, "c", 3);
    store.setInt(store.addSection("New Section"), "KeyOne", 5);
    EXPECT_EQ(store.text(),
              "\r\n[general]\r\na=x\r\nb=2\r\nc=3\r\n\r\n[New Section]\r\nkeyone=5\r\n");
}

TEST(IniStoreValues, ManyKeysInOneSectionAreAllFound) {
    std::string text = "[s]\n";
    for (int i = 0; i < 1000; ++i)
        text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    text += "KEY7=last\n";
    IniStore store;
    ASSERT_TRUE(loadText(store, text));
    IniSection* s = store.findSection("s");
    ASSERT_EQ(s->entries().size(), 1001u);
    for (int i = 0; i < 1000; ++i) {
        int value = -1;
        ASSERT_TRUE(store.getInt(s, "key" + std::to_string(i), value)) << i;
        EXPECT_EQ(value, i == 7 ? 0 : i);
    }
    EXPECT_EQ(valueOf(store, "s", "key7"), u"last");
}

TEST(IniStoreValues, WrittenThenReadGivesTheSameContent) {
    IniStore written;
    IniSection* general = written.addSection("General");
    written.setString(general, "homeUrl", u"http://h/?a=b");
    written.setString(general, "password", u"");
    written.setInt(written.addSection("Barcode Reader CCD/Laser"), "scanMode", 6);
    written.addSection("EAN-13,UPC-A CCD/Laser");

    IniStore read;
    ASSERT_TRUE(loadText(read, written.text()));
    EXPECT_EQ(dump(read),
              "[general]\nhomeurl=http://h/?a=b\npassword=\n"
              "[barcode reader ccd/laser]\nscanmode=6\n[ean-13,upc-a ccd/laser]\n");
}

TEST(IniStoreSave, EmptyStoreLeavesTheFileAlone) {
    TempDir dir;
    const fs::path file = dir.path() / "browserINI.txt";
    writeFile(file, "old");
    IniStore store;
    EXPECT_TRUE(store.save(file));
    EXPECT_EQ(readFile(file), "old");
}

TEST(IniStoreSave, ReplacesTheFileAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path file = dir.path() / "browserINI.txt";
    writeFile(file, "a much longer old content than the new one");
    IniStore store;
    store.setInt(store.addSection("s"), "k", 1);
    ASSERT_TRUE(store.save(file));
    EXPECT_EQ(readFile(file), "\r\n[s]\r\nk=1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(IniStoreSave, LargeStoreIsWrittenWhole) {
    // Values longer than any write buffer, and many lines, cross every piece boundary.
    IniStore store;
    std::string expected;
    for (int s = 0; s < 3; ++s) {
        const std::string name = "Section " + std::to_string(s);
        IniSection* section = store.addSection(name);
        expected += "\r\n[" + name + "]\r\n";
        for (int k = 0; k < 300; ++k) {
            const std::string key = "key" + std::to_string(k);
            std::string value(k % 50 == 0 ? 70'000 + k : k % 50, static_cast<char>('a' + k % 26));
            value.back() = '\xE9';
            store.setString(section, key, fromEightBit(value));
            expected += key + "=" + value + "\r\n";
        }
    }
    ASSERT_EQ(store.text(), expected);

    TempDir dir;
    const fs::path file = dir.path() / "browserINI.txt";
    writeFile(file, "old");
    ASSERT_TRUE(store.save(file));
    EXPECT_EQ(readFile(file), expected);
}

TEST(IniStoreSave, FailureReportsAndKeepsTheOldFile) {
    TempDir dir;
    IniStore store;
    store.setInt(store.addSection("s"), "k", 1);

    EXPECT_FALSE(store.save(dir.path() / "no such folder" / "browserINI.txt"));
    EXPECT_EQ(store.lastError(), kIniWriteError);

    // A target that cannot be replaced (a folder) fails after writing; nothing is left behind.
    const fs::path folder = dir.path() / "target";
    fs::create_directories(folder / "inside");
    EXPECT_FALSE(store.save(folder));
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(dump(store), "[s]\nk=1\n");
}

// What a save cut off before its rename leaves beside the file is neither loaded nor in the
// way of the next save.
TEST(IniStoreSave, LeftoversOfAnInterruptedSaveAreIgnored) {
    TempDir dir;
    const fs::path file = dir.path() / "browserINI.txt";
    writeFile(file, "\r\n[old]\r\nk=0\r\n");
    writeFile(dir.path() / "browserINI.txt.tmp-Xa81Qz", "\r\n[half]\r\nk=");
    writeFile(dir.path() / "browserINI.txt.tmp", "\r\n[half]\r\nk=");
    IniStore loaded;
    ASSERT_TRUE(loaded.load(file));
    EXPECT_EQ(dump(loaded), "[old]\nk=0\n");

    loaded.setInt(loaded.addSection("s"), "k", 1);
    ASSERT_TRUE(loaded.save(file));
    IniStore again;
    ASSERT_TRUE(again.load(file));
    EXPECT_EQ(dump(again), "[old]\nk=0\n[s]\nk=1\n");
}

TEST(IniStore, ClearEmptiesEverything) {
    TempDir dir;
    writeFile(dir.path() / "f.txt", "k=v");
    IniStore store;
    EXPECT_FALSE(store.load(dir.path() / "f.txt"));
    store.addSection("s");
    store.clear();
    EXPECT_TRUE(store.isEmpty());
    EXPECT_TRUE(store.lastError().empty());
    EXPECT_TRUE(store.path().empty());
    EXPECT_EQ(store.findSection("s"), nullptr);
}

}  // namespace
}  // namespace tessel::settings
