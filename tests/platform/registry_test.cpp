// Registry stores, their text format, and reading them through the Windows calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/registry/registry.h"
#include "support/test_support.h"

namespace {

struct ParseCase {
    const char* name;
    const char* text;
    const char* error; // null: parses
};

class RegistryParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegistryParse, AcceptsTheFormatAndNamesTheLineThatBreaksIt)
{
    std::string error;
    auto store = zk::RegistryStore::parse(GetParam().text, &error);
    if (!GetParam().error) {
        EXPECT_TRUE(store) << error;
        return;
    }
    EXPECT_FALSE(store);
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RegistryParse,
    ::testing::Values(
        ParseCase{"Empty", "", nullptr},
        ParseCase{"HeaderCommentsBlanks", "REGEDIT4\r\n; note\n# note\n\n[HKCU\\A]\r\n", nullptr},
        ParseCase{"AllValueKinds",
                  "[HKLM\\A\\B]\n\"s\"=\"x \\\"q\\\" \\\\ y\"\n\"d\"=dword:FFFFFFFF\n@=\"default\"\n\"h\"=hex:00, 1,ff\n"
                  "\"e\"=hex:\n",
                  nullptr},
        ParseCase{"ValueBeforeKey", "\"a\"=\"b\"\n", "line 1: value before the first key"},
        ParseCase{"UnknownRoot", "[HKEY_USERS\\x]\n", "line 1: unknown root or bad key name"},
        ParseCase{"UnclosedKey", "[HKLM\\x\n", "line 1: key line without ']'"},
        ParseCase{"BracketInName", "[HKLM\\[x]\n", "line 1: bracket inside key name"},
        ParseCase{"DwordTooLong", "[HKLM\\x]\n\"a\"=dword:123456789\n", "line 2: bad dword value"},
        ParseCase{"DwordNotHex", "[HKLM\\x]\n\"a\"=dword:12g4\n", "line 2: bad dword value"},
        ParseCase{"DwordEmpty", "[HKLM\\x]\n\"a\"=dword:\n", "line 2: bad dword value"},
        ParseCase{"HexByteTooBig", "[HKLM\\x]\n\"a\"=hex:100\n", "line 2: bad hex value"},
        ParseCase{"UnterminatedString", "[HKLM\\x]\n\"a\"=\"abc\n", "line 2: bad string value"},
        ParseCase{"BadEscape", "[HKLM\\x]\n\"a\"=\"a\\n\"\n", "line 2: bad string value"},
        ParseCase{"TrailingText", "[HKLM\\x]\n\"a\"=\"b\" c\n", "line 2: text after string value"},
        ParseCase{"MissingEquals", "[HKLM\\x]\n\"a\" \"b\"\n", "line 2: missing '='"},
        ParseCase{"UnknownType", "[HKLM\\x]\n\"a\"=qword:1\n", "line 2: unknown value type"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryStore, NulBytesInALineAreRefused)
{
    const std::string text("[HKLM\\x]\n\"a\"=\"b\0\"\n", 17);
    std::string error;
    EXPECT_FALSE(zk::RegistryStore::parse(text, &error));
    EXPECT_EQ(error, "line 2: NUL byte in line");
}

TEST(RegistryStore, KeysAndNamesIgnoreCaseAndParentsExist)
{
    zk::RegistryStore s;
    s.set_string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Matrox\\DigiSuite\\DigiMix\\Device0", "NAME", "DigiMix");
    EXPECT_TRUE(s.key_exists("hklm\\software\\MATROX\\digisuite"));
    EXPECT_TRUE(s.key_exists("HKEY_LOCAL_MACHINE\\\\SOFTWARE\\Matrox\\"));
    EXPECT_FALSE(s.key_exists("HKCU\\SOFTWARE\\Matrox"));
    ASSERT_TRUE(s.find_value("HKLM\\SOFTWARE\\MATROX\\DIGISUITE\\DIGIMIX\\DEVICE0", "name"));
    EXPECT_EQ(s.subkeys("HKLM\\SOFTWARE\\Matrox\\DigiSuite"), std::vector<std::string>{"DigiMix"});
    EXPECT_TRUE(s.remove_key("hklm\\software\\matrox\\digisuite\\digimix"));
    EXPECT_FALSE(s.key_exists("HKLM\\SOFTWARE\\Matrox\\DigiSuite\\DigiMix\\Device0"));
    EXPECT_TRUE(s.key_exists("HKLM\\SOFTWARE\\Matrox\\DigiSuite"));
}

TEST(RegistryStore, TextRoundTrips)
{
    zk::RegistryStore s;
    s.set_string("HKCU\\SOFTWARE\\MATROX\\MQFG", "Quote", "a \"b\" \\c");
    s.set_dword("HKCU\\SOFTWARE\\MATROX\\MQFG", "StateCompletionTimeOut", 10000);
    s.set_binary("HKLM\\X", "", {0, 1, 0xFF});
    s.set_string("HKLM\\X\\Y", "Japanese", "\xE7\x94\xBB\xE5\x83\x8F");
    s.create_key("HKLM\\Empty");
    const std::string text = s.to_text();
    auto back = zk::RegistryStore::parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->to_text(), text);
    EXPECT_EQ(back->key_count(), s.key_count());
    const auto* v = back->find_value("HKCU\\SOFTWARE\\MATROX\\MQFG", "quote");
    ASSERT_TRUE(v);
    EXPECT_EQ(std::string(v->data.begin(), v->data.end() - 1), "a \"b\" \\c");
}

class RegistryApi : public ::testing::Test {
protected:
    static zk::RegistryStore store()
    {
        zk::RegistryStore s;
        s.set_string("HKLM\\SOFTWARE\\Test", "Name", "value");
        s.set_dword("HKLM\\SOFTWARE\\Test", "Number", 0x01020304);
        s.create_key("HKLM\\SOFTWARE\\Test\\Sub1");
        s.create_key("HKLM\\SOFTWARE\\Test\\Sub2");
        return s;
    }
    zk::RegistryOverride registry{store()};
};

TEST_F(RegistryApi, QueriesAnswerWithWindowsCodes)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\test", 0, KEY_READ, &key), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u) << "the terminating NUL counts";
    char small[3];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    char text[16];
    size = sizeof text;
    ASSERT_EQ(RegQueryValueEx(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "value");
    DWORD number = 0;
    size = sizeof number;
    ASSERT_EQ(RegQueryValueEx(key, "Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 0x01020304u);
    EXPECT_EQ(RegQueryValueEx(key, "Missing", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueEx(key, "Name", &reserved, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);

    char name[8];
    DWORD chars = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Sub2");
    chars = sizeof name;
    EXPECT_EQ(RegEnumKeyEx(key, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    const size_t open = zk::open_registry_key_count();
    HKEY sub = nullptr;
    ASSERT_EQ(RegOpenKeyEx(key, "Sub1", 0, KEY_READ, &sub), ERROR_SUCCESS);
    EXPECT_EQ(zk::open_registry_key_count(), open + 1);
    EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(sub), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(sub, "Name", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(zk::open_registry_key_count(), open - 1);
}

TEST_F(RegistryApi, AnOpenKeyKeepsTheStoreItWasOpenedIn)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
    {
        zk::RegistryOverride other{zk::RegistryStore{}};
        DWORD number = 0, size = 4;
        EXPECT_EQ(RegQueryValueEx(key, "Number", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size),
                  ERROR_SUCCESS);
        HKEY fresh = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", 0, KEY_READ, &fresh), ERROR_FILE_NOT_FOUND);
    }
    RegCloseKey(key);
}

TEST(RegistryFile, IsReadFromTheEnvironmentAndRefusedWhenBroken)
{
    const std::string good = zt::temp_path("registry_good.reg");
    std::ofstream(good) << "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\MATROX\\MQFG]\n\"SeekTimeOut\"=dword:00000bb8\n";
    const std::string bad = zt::temp_path("registry_bad.reg");
    std::ofstream(bad) << "[HKEY_CURRENT_USER\\SOFTWARE\\MATROX\\MQFG]\n\"SeekTimeOut\"=dword:zz\n";

    const char* old = std::getenv("ZORVIK_REGISTRY");
    const std::string saved = old ? old : "";
    auto previous = zk::install_registry(nullptr);

    setenv("ZORVIK_REGISTRY", good.c_str(), 1);
    zk::install_registry(nullptr);
    EXPECT_TRUE(zk::current_registry()->find_value("HKCU\\SOFTWARE\\MATROX\\MQFG", "SeekTimeOut"));

    setenv("ZORVIK_REGISTRY", bad.c_str(), 1);
    zk::install_registry(nullptr);
    EXPECT_EQ(zk::current_registry()->key_count(), 0u) << "a broken file gives an empty registry, not the default";

    unsetenv("ZORVIK_REGISTRY");
    zk::install_registry(nullptr);
    EXPECT_TRUE(zk::current_registry()->key_exists("HKLM\\SOFTWARE\\Matrox\\DigiSuite\\DigiMix\\Device0"));

    if (old) setenv("ZORVIK_REGISTRY", saved.c_str(), 1);
    zk::install_registry(previous);
}

} // namespace
