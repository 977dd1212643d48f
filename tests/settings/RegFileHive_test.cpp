// The .reg file behind the store where there is no registry: its text, what it keeps,
// and how a damaged file is reported.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "settings/SettingsHive.h"
#include "settings/SettingsStore.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::FilesIn;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using namespace std::string_literals;

constexpr char kSection[] = "[HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings]";

class RegFileHiveTest : public ::testing::Test {
 protected:
  std::optional<RawValue> GetRaw(const std::string& name) {
    const auto key = OpenUserHive(file_)->OpenKey(kSettingsKeyPath);
    if (!key) return std::nullopt;
    return key->Query(name);
  }

  TempDir dir_;
  std::string file_ = dir_.File("Settings.reg");
};

TEST_F(RegFileHiveTest, WritesRegistryEditorText) {
  SettingsStore(file_).Save({"a \"q\" C:\\dir\\ \xe9 ", ""});
  EXPECT_EQ(ReadBytes(file_), "REGEDIT4\r\n\r\n"s + kSection +
                                  "\r\n"
                                  "\"APIkey\"=\"a \\\"q\\\" C:\\\\dir\\\\ \xe9 \"\r\n"
                                  "\"Engine Code\"=\"\"\r\n"
                                  "\r\n");

  // Texts a quoted string cannot hold on one line are written as hex(1): with the NUL,
  // wrapped with continuation lines, so the file stays one value per line(s).
  const std::string long_text = "first\r\nsecond" + std::string(40, '-');
  SettingsStore(file_).Save({long_text, "x"});
  EXPECT_EQ(
      ReadBytes(file_),
      "REGEDIT4\r\n\r\n"s + kSection +
          "\r\n"
          "\"APIkey\"=hex(1):66,69,72,73,74,0d,0a,73,65,63,6f,6e,64,2d,2d,2d,2d,2d,2d,2d,2d,\\\r\n"
          "  2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,2d,\\\r\n"
          "  2d,2d,2d,2d,2d,2d,2d,00\r\n"
          "\"Engine Code\"=\"x\"\r\n"
          "\r\n");

  const auto key = OpenUserHive(file_)->CreateKey(kSettingsKeyPath);
  ASSERT_TRUE(key->Set("Engine Code", kRegDword, "\x78\x56\x34\x12"s));
  ASSERT_TRUE(key->Set("Blob", kRegBinary, "\x00\xff"s));
  ASSERT_TRUE(key->Set("Path", kRegExpandSz, "%A%\0"s));
  const std::string text = ReadBytes(file_);
  EXPECT_NE(text.find("\r\n\"Engine Code\"=dword:12345678\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n\"Blob\"=hex:00,ff\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n\"Path\"=hex(2):25,41,25,00\r\n"), std::string::npos) << text;
}

TEST_F(RegFileHiveTest, ReadsAHandWrittenFile) {
  WriteBytes(file_,
             "REGEDIT4\n"
             "; written by hand, LF line ends\n"
             "\n"
             "[hkey_current_user\\software\\dovrane\\kelvaro\\settings]\n"
             "\"apikey\" = \"k\\\\1\"   \n"
             "\"Engine Code\"=\"first\"\n"
             "\"Engine Code\"=hex(2):63,6f,\\\n"
             "    64,  65,\\\n"
             "  00\n"
             "@=dword:00000010\n"
             "\"Gone\"=-\n"
             "\"Empty\"=hex(4):\n");
  Credentials settings;
  SettingsStore(file_).Load(settings);
  EXPECT_EQ(settings.api_key, "k\\1");
  // The later of two entries counts, as on import.
  EXPECT_EQ(settings.engine_code, "code");
  const auto def = GetRaw("");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->type, kRegDword);
  EXPECT_EQ(def->data, "\x10\0\0\0"s);
  EXPECT_FALSE(GetRaw("Gone"));
  const auto empty = GetRaw("Empty");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->type, kRegDword);
  EXPECT_EQ(empty->data, "");
}

TEST_F(RegFileHiveTest, SaveKeepsWhatItDoesNotOwn) {
  const std::string before =
      "REGEDIT4\r\n"
      "; keep me\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
      "\"APIkey\"=\"not ours\"\r\n"
      "\"Bin\"=hex:01,\\\r\n"
      "  02\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings]\r\n"
      "\"Theme\"=\"dark\"\r\n"
      "\"APIkey\"=dword:00000001\r\n"
      "; our comment\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings\\Sub]\r\n"
      "\"Engine Code\"=\"sub\"";
  WriteBytes(file_, before);
  SettingsStore(file_).Save({"new key", "new code"});
  EXPECT_EQ(ReadBytes(file_),
            "REGEDIT4\r\n"
            "; keep me\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"APIkey\"=\"not ours\"\r\n"
            "\"Bin\"=hex:01,\\\r\n"
            "  02\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings]\r\n"
            "\"Theme\"=\"dark\"\r\n"
            "\"APIkey\"=\"new key\"\r\n"
            "\"Engine Code\"=\"new code\"\r\n"
            "; our comment\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Dovrane\\Kelvaro\\Settings\\Sub]\r\n"
            "\"Engine Code\"=\"sub\"\r\n");

  // A file without our key gains the section at its end.
  WriteBytes(file_, "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Other]\n\"A\"=\"1\"\n");
  SettingsStore(file_).Save({"k", "c"});
  EXPECT_EQ(ReadBytes(file_),
            "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"A\"=\"1\"\r\n"
            "\r\n"s +
                kSection + "\r\n\"APIkey\"=\"k\"\r\n\"Engine Code\"=\"c\"\r\n\r\n");
}

TEST_F(RegFileHiveTest, DamagedFileIsReportedWithItsLineAndLeftAsItWas) {
  const std::string good_start = "REGEDIT4\r\n\r\n"s + kSection + "\r\n\"APIkey\"=\"k\"\r\n";
  const struct {
    std::string text;
    int line;
  } cases[] = {
      {"", 1},
      {"Windows Registry Editor Version 5.00\r\n", 1},
      {"REGEDIT4\r\n\r\n\"APIkey\"=\"outside\"\r\n", 3},
      {good_start + "\"Engine Code\"=\"not closed\r\n", 5},
      {good_start + "\"Engine Code\"=\"C:\\dir\"\r\n", 5},
      {good_start + "\"Engine Code\"=\"x\" trailing\r\n", 5},
      {good_start + "\"Engine Code\"=dword:123456789\r\n", 5},
      {good_start + "\"Engine Code\"=hex(2):41,\\\r\n  42,4g\r\n", 6},
      {good_start + "\"Engine Code\"=hex:41,\\\r\n", 5},
      {good_start + "Engine Code=x\r\n", 5},
      {good_start + "[HKEY_CURRENT_USER\\Software\r\n", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteBytes(file_, c.text);
    Credentials settings{"old key", "old code"};
    try {
      SettingsStore(file_).Load(settings);
      ADD_FAILURE() << "the damaged file was read";
    } catch (const Error& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(file_), std::string::npos) << message;
      EXPECT_NE(message.find("line " + std::to_string(c.line) + ":"), std::string::npos) << message;
    }
    EXPECT_EQ(settings.api_key, "");
    EXPECT_EQ(settings.engine_code, "");
    EXPECT_EQ(ReadBytes(file_), c.text);
    EXPECT_EQ(FilesIn(dir_.path()), 1u);
  }

  // Saving replaces it; the damaged bytes stay beside it, for whoever wrote them.
  SettingsStore(file_).Save({"k", "c"});
  Credentials settings;
  SettingsStore(file_).Load(settings);
  EXPECT_EQ(settings.api_key, "k");
  EXPECT_EQ(settings.engine_code, "c");
  EXPECT_EQ(ReadBytes(file_ + ".damaged"), cases[std::size(cases) - 1].text);
  EXPECT_EQ(FilesIn(dir_.path()), 2u);
}

TEST_F(RegFileHiveTest, FileIsPrivateAndALinkStaysALink) {
  const std::string real = dir_.File("elsewhere.reg");
  WriteBytes(real, "REGEDIT4\r\n");
  std::filesystem::create_symlink(real, file_);
  SettingsStore(file_).Save({"secret", "code"});
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  Credentials settings;
  SettingsStore(real).Load(settings);
  EXPECT_EQ(settings.api_key, "secret");
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status(real).permissions() & (perms::group_all | perms::others_all),
            perms::none);
}

TEST_F(RegFileHiveTest, NoPartOfItIsEverReadableByOthers) {
  using std::filesystem::perms;
  const mode_t old_mask = umask(022);  // new files readable by all unless made private
  const std::string location = dir_.File("Dovrane/Kelvaro/Settings.reg");
  std::vector<perms> during_write;
  SetTemporaryFileObserver([&during_write](const std::string& temp) {
    during_write.push_back(std::filesystem::status(temp).permissions());
  });
  SettingsStore(location).Save({"secret", "code"});
  WriteBytes(location, "damaged by hand");
  SettingsStore(location).Save({"secret", "code"});
  SetTemporaryFileObserver(nullptr);
  umask(old_mask);

  const perms others = perms::group_all | perms::others_all;
  // One replacement of the file per save (both values at once), then the damaged copy
  // and the file again.
  ASSERT_EQ(during_write.size(), 3u);
  for (const perms mode : during_write) EXPECT_EQ(mode & others, perms::none);
  EXPECT_EQ(std::filesystem::status(location + ".damaged").permissions() & others, perms::none);
  EXPECT_EQ(std::filesystem::status(dir_.File("Dovrane")).permissions(), perms::owner_all);
  EXPECT_EQ(std::filesystem::status(dir_.File("Dovrane/Kelvaro")).permissions(), perms::owner_all);
}

// All four values of one save go into the file at once: a failure cannot leave a new key
// beside the old service and endpoint.
TEST_F(RegFileHiveTest, OneSaveIsOneReplacementOfTheFile) {
  int writes = 0;
  SetTemporaryFileObserver([&writes](const std::string&) { ++writes; });
  SettingsStore(file_).SaveSearchSettings({"key", "cx", "SerpApi", "https://proxy.example"});
  SetTemporaryFileObserver(nullptr);
  EXPECT_EQ(writes, 1);
  Credentials loaded;
  SettingsStore(file_).LoadSearchSettings(loaded);
  EXPECT_EQ(loaded.api_key, "key");
  EXPECT_EQ(loaded.endpoint, "https://proxy.example");
}

TEST_F(RegFileHiveTest, UnwritableLocationFailsAtTheFirstValue) {
  // The hive's folder cannot be created where a regular file stands.
  const std::string location = dir_.File("Dovrane/Kelvaro/Settings.reg");
  WriteBytes(dir_.File("Dovrane"), "a file, not a folder");
  try {
    SettingsStore(location).Save({"key", "code"});
    FAIL() << "the save reported success";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'APIkey'");
  }
  EXPECT_EQ(ReadBytes(dir_.File("Dovrane")), "a file, not a folder");
  Credentials settings{"old key", "old code"};
  EXPECT_NO_THROW(SettingsStore(location).Load(settings));
  EXPECT_EQ(settings.api_key, "");
}

TEST(RegFileHiveLocationTest, FollowsXdgConfigHomeElseHome) {
  const char* old_xdg = getenv("XDG_CONFIG_HOME");
  const std::string saved_xdg = old_xdg ? old_xdg : "";
  const char* old_home = getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";

  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
  EXPECT_EQ(DefaultSettingsLocation(), "/xdg/config/Dovrane/Kelvaro/Settings.reg");
  // A relative XDG_CONFIG_HOME is not a valid setting and is ignored.
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(DefaultSettingsLocation(), "/home/someone/.config/Dovrane/Kelvaro/Settings.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultSettingsLocation(), "/home/someone/.config/Dovrane/Kelvaro/Settings.reg");

  if (old_xdg) setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
  if (old_home) {
    setenv("HOME", saved_home.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

}  // namespace
}  // namespace kelvaro
