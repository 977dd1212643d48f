#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {

// Value types, numbered as the registry numbers them (the same numbers appear in the
// hex(N): form of .reg files).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// A stored value as the hive holds it: its type and its data, byte for byte (a REG_SZ
// written by Kelvaro carries its terminating NUL in `data`).
struct RawValue {
  std::uint32_t type = kRegNone;
  std::string data;
};

// A value to store under its name.
struct NamedValue {
  std::string name;
  RawValue value;
};

// One open key of the current user's hive. Closed when destroyed.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // The value `name` (names compare without regard to ASCII case, as the registry's do);
  // nullopt when there is no such value.
  // Throws kelvaro::Error when the value exists but its data cannot be fetched.
  virtual std::optional<RawValue> Query(const std::string& name) const = 0;
  // Stores `data` under `name` with `type`, replacing any value of that name. False when
  // the value could not be stored; the hive then holds what it held before.
  virtual bool Set(const std::string& name, std::uint32_t type, const std::string& data) = 0;
  // Stores `values` in order; returns how many were stored before the first that could not
  // be (values.size() when all were). The registry stores one value at a time, as Set()
  // does; a hive file writes them all in one replacement of the file, or none.
  virtual std::size_t SetValues(const std::vector<NamedValue>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!Set(values[i].name, values[i].value.type, values[i].value.data)) return i;
    }
    return values.size();
  }
};

// The current user's hive: the registry's HKEY_CURRENT_USER on Windows, a .reg-format
// file elsewhere. Which one is built is chosen when the program is configured.
class SettingsHive {
 public:
  virtual ~SettingsHive() = default;
  // Opens `key_path` (for example "Software\Dovrane\Kelvaro\Settings") without creating
  // it; nullptr when the key does not exist or cannot be opened.
  // Throws kelvaro::Error when the hive itself cannot be read (a damaged hive file, whose
  // error text names the line where it breaks); the hive is left untouched.
  virtual std::unique_ptr<SettingsKey> OpenKey(const std::string& key_path) const = 0;
  // Opens `key_path`, creating it and any missing parent keys; nullptr when that fails.
  virtual std::unique_ptr<SettingsKey> CreateKey(const std::string& key_path) const = 0;
};

// The hive at `location`: on Windows the registry (the location is not used, since the
// registry has one current-user hive); elsewhere the .reg file named by `location`.
std::unique_ptr<SettingsHive> OpenUserHive(const std::string& location);

// Where the current user's settings live by default: elsewhere than on Windows
// $XDG_CONFIG_HOME/Dovrane/Kelvaro/Settings.reg, or ~/.config/Dovrane/Kelvaro/Settings.reg
// when XDG_CONFIG_HOME is unset or not an absolute path; on Windows "HKEY_CURRENT_USER".
std::string DefaultSettingsLocation();

}  // namespace kelvaro
