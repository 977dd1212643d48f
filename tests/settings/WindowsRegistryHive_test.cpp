// The settings store on the real registry of the Windows build: values written and read with
// the registry's own functions beside the store, so the stored types and sizes are the ones
// other programs (and the next start) see.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/Error.h"
#include "settings/SettingsStore.h"
#include "tests/support/UserHive.h"

namespace kelvaro {
namespace {

using namespace std::string_literals;

// What RegQueryValueExA reports of a value: its type, the size asked for first, and the data.
struct Stored {
  LONG result = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::string data;
};

class WindowsRegistryHiveTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseEmptyUserHive(DefaultSettingsLocation()); }
  void TearDown() override {
    if (key_ != nullptr) RegCloseKey(key_);
  }

  bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  // The settings key, created with the registry's own function.
  HKEY Key() {
    if (key_ == nullptr) {
      EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                ERROR_SUCCESS);
    }
    return key_;
  }

  void Write(const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(Key(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }

  Stored Read(const char* name) {
    Stored stored;
    stored.result = RegQueryValueExA(Key(), name, nullptr, &stored.type, nullptr, &stored.size);
    if (stored.result != ERROR_SUCCESS) return stored;
    stored.data.assign(stored.size, '\0');
    DWORD got = stored.size;
    stored.result = RegQueryValueExA(Key(), name, nullptr, &stored.type,
                                     reinterpret_cast<BYTE*>(stored.data.data()), &got);
    stored.data.resize(got);
    return stored;
  }

  std::string LoadError(Credentials& settings) {
    try {
      SettingsStore(DefaultSettingsLocation()).Load(settings);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }

 private:
  HKEY key_ = nullptr;
};

TEST_F(WindowsRegistryHiveTest, LoadLeavesAMissingKeyMissing) {
  Credentials settings{"old key", "old code"};
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "");
  EXPECT_EQ(settings.engine_code, "");
  EXPECT_FALSE(KeyExists());
}

TEST_F(WindowsRegistryHiveTest, SaveCreatesTheKeyAndStoresTextWithItsNul) {
  SettingsStore(DefaultSettingsLocation()).Save({"the key ", ""});
  ASSERT_TRUE(KeyExists());
  const Stored key = Read("APIkey");
  ASSERT_EQ(key.result, ERROR_SUCCESS);
  EXPECT_EQ(key.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(key.size, 9u);
  EXPECT_EQ(key.data, "the key \0"s);
  // An empty text is the NUL alone.
  const Stored code = Read("Engine Code");
  ASSERT_EQ(code.result, ERROR_SUCCESS);
  EXPECT_EQ(code.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(code.data, "\0"s);
}

TEST_F(WindowsRegistryHiveTest, ADwordEngineCodeIsAnInvalidDataType) {
  Write("APIkey", REG_SZ, "the key\0"s);
  const DWORD number = 1234;
  ASSERT_EQ(RegSetValueExA(Key(), "Engine Code", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&number), sizeof number),
            ERROR_SUCCESS);
  Credentials settings;
  EXPECT_EQ(LoadError(settings), "Invalid data type for 'Engine Code'");
  EXPECT_EQ(settings.api_key, "the key");
  EXPECT_EQ(settings.engine_code, "");

  // The next save writes it back as text.
  SettingsStore(DefaultSettingsLocation()).Save({"the key", "cx"});
  const Stored code = Read("Engine Code");
  EXPECT_EQ(code.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(code.data, "cx\0"s);
}

TEST_F(WindowsRegistryHiveTest, AnExpandableStringIsReadLiterally) {
  Write("APIkey", REG_EXPAND_SZ, "%USERPROFILE%\\key %PATH%\0"s);
  Write("Engine Code", REG_SZ, "cx");
  Credentials settings;
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, "%USERPROFILE%\\key %PATH%");
  EXPECT_EQ(settings.engine_code, "cx");

  SettingsStore(DefaultSettingsLocation()).Save(settings);
  const Stored key = Read("APIkey");
  EXPECT_EQ(key.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(key.data, "%USERPROFILE%\\key %PATH%\0"s);
}

TEST_F(WindowsRegistryHiveTest, TextStoredByAUnicodeProgramComesBackInTheAnsiCodePage) {
  // The registry keeps UTF-16; a value written through the wide functions is read through the
  // ANSI ones, whose first size answer may be larger than the text it then delivers.
  const std::wstring wide = L"caf\u00e9 \u00a3";
  ASSERT_EQ(RegSetValueExW(Key(), L"APIkey", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                           static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  char ansi[16] = {};
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
  ASSERT_GT(length, 0);
  Credentials settings;
  EXPECT_EQ(LoadError(settings), "");
  EXPECT_EQ(settings.api_key, std::string(ansi));
}

TEST_F(WindowsRegistryHiveTest, AKeyThatCannotBeCreatedFailsAtTheFirstValue) {
  // A volatile key cannot hold the lasting key the store creates under it.
  HKEY vendor = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Dovrane", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &vendor, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(vendor);
  try {
    SettingsStore(DefaultSettingsLocation()).Save({"key", "code"});
    FAIL() << "the save reported success";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'APIkey'");
  }
  EXPECT_FALSE(KeyExists());
}

}  // namespace
}  // namespace kelvaro
