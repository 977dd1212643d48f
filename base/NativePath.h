#pragma once

// File names in Kelvaro are bytes in the system's code page, as the user typed or chose them.
// std::filesystem does not read narrow names that way everywhere: on Windows it takes them for
// another encoding, so a name with "€" or curly quotes names another file, and the temporary
// folder of a user called "José" comes back in UTF-8. These two conversions are the only way
// between the two; each platform has its own source file, which also holds the other calls
// below that differ between systems.

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

namespace kelvaro {

// The path named by `name`, a file name in the system's code page.
std::filesystem::path NativePath(const std::string& name);

// `path` as a file name in the system's code page.
std::string NarrowPath(const std::filesystem::path& path);

// The file a write to `name` reaches: the end of its chain of symbolic links (a link whose
// target does not exist yet leads to that target), or `name` itself when it is no link or
// the chain does not end.
std::string LinkTarget(const std::string& name);

// How a newly written file may be read.
enum class FileAccess {
  kKeep,       // like the file it replaces: its mode and, where allowed, its group
  kOwnerOnly,  // readable and writable by its owner only, from the moment it exists
};

// What writing a new file came to: error_number is 0 on success; otherwise `created` tells
// whether the file was made (the bytes then did not all reach it) or not (or it could not
// be given its mode); a failed file is removed again.
struct NewFileResult {
  int error_number = 0;
  bool created = false;
};

// Creates `name`, which must not exist yet, writes `bytes` to it and has them flushed and
// synced to the disk before it is closed. With FileAccess::kKeep it takes the mode and
// group of `model` when that file exists, the system's default for new files otherwise.
// `on_created`, when given, runs once the file exists with its mode and before any byte is
// written.
NewFileResult WriteNewFile(const std::string& name, const std::string& bytes,
                           const std::string& model, FileAccess access,
                           const std::function<void()>& on_created);

// Makes a rename into the folder of `name` reach the disk (where the system needs that).
void SyncFolderOf(const std::string& name);

// Has the bytes of the existing file `name`, written by someone else, flushed and synced to
// the disk. Returns 0, or the error number when that fails.
int SyncFile(const std::string& name);

// The folder for the user's own temporary files. On Windows the system's temporary folder
// (%TEMP%). Elsewhere $XDG_RUNTIME_DIR when it names a folder, else a folder of this user
// alone (see PrivateFolderUnder) under $TMPDIR or /tmp. Sets `ec` when there is none.
std::filesystem::path UserTempFolder(std::error_code& ec);

#ifndef _WIN32
// A folder under `base` that only user `uid` may enter: "kelvaro-<uid>", made with mode 0700
// when missing and taken when it is a real folder (no link) of that user with no access for
// anyone else. Anything else of that name is left alone and a fresh folder
// "kelvaro-<uid>-XXXXXX" is made instead, so nobody can plant files or links where the
// user's files go.
std::filesystem::path PrivateFolderUnder(const std::filesystem::path& base, unsigned uid,
                                         std::error_code& ec);

// Makes the missing folders of `folder`, each one for its owner only (0700): the files kept in
// them (the settings, the stored answers) are the user's alone. False with errno set when one
// cannot be made.
bool MakePrivateFolders(const std::filesystem::path& folder);

// The user's base folder named by the XDG variable `variable` (such as "XDG_CONFIG_HOME"), or
// the home folder joined with `fallback` (such as ".config") when the variable is unset or not
// an absolute path.
std::filesystem::path XdgFolder(const char* variable, const std::filesystem::path& fallback);
#endif

}  // namespace kelvaro
